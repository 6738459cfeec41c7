// Stand-alone driver for fuzz targets when libFuzzer is not used: replays the
// seed files named on the command line (folders are walked), then feeds
// mutations of them drawn from one random seed. A crash, a sanitizer report
// or a hang (caught by the test's time-out) fails the test, and a failure
// prints the seed and the mutation number that reproduce it.
//
// Environment:
//   TAVRIN_FUZZ_SEED     the random seed; a fresh one each run by default, so
//                        every run explores inputs the last one did not
//   TAVRIN_FUZZ_RUNS     mutations in all (default 2000)
//   TAVRIN_FUZZ_SECONDS  long-run mode, outside CI: mutate until this many
//                        seconds have passed, whatever TAVRIN_FUZZ_RUNS says

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// What a failure report needs, kept where a signal handler can read it.
std::uint64_t g_seed = 0;
volatile long g_mutation = -1;  // -1 while the seed files are replayed

// Writes "<text><number>" with write(2) alone, as signal handlers must.
void WriteNumber(const char* text, std::uint64_t n) {
    char buf[32];
    int len = 0;
    do {
        buf[len++] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n && len < 32);
    [[maybe_unused]] ssize_t w = ::write(2, text, std::strlen(text));
    for (int i = len - 1; i >= 0; --i) w = ::write(2, &buf[i], 1);
}

void ReportFailure() {
    WriteNumber("\nfuzz: failed; reproduce with TAVRIN_FUZZ_SEED=", g_seed);
    const char* end = "\n";
    if (g_mutation < 0)
        end = " while replaying the seed files\n";
    else
        WriteNumber(" at mutation ", static_cast<std::uint64_t>(g_mutation));
    [[maybe_unused]] ssize_t w = ::write(2, end, std::strlen(end));
}

extern "C" void OnFatalSignal(int sig) {
    ReportFailure();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

}  // namespace

// Sanitizers end the process without a signal we can catch; they call this
// back first when it is there.
extern "C" void __sanitizer_set_death_callback(void (*callback)()) __attribute__((weak));

namespace {

void Run(const std::string& s) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
}

std::string Mutate(std::string s, std::mt19937_64& rng, const std::vector<std::string>& seeds) {
    int steps = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < steps; ++i) {
        std::size_t n = s.size();
        switch (rng() % 7) {
        case 0:  // flip a bit
            if (n) s[rng() % n] ^= static_cast<char>(1u << (rng() % 8));
            break;
        case 1:  // set a byte to an interesting value
            if (n) {
                static const unsigned char kVals[] = {0, 1, 0x7F, 0x80, 0xFF, '{', '}', '\\', '<', '>'};
                s[rng() % n] = static_cast<char>(kVals[rng() % sizeof kVals]);
            }
            break;
        case 2:  // truncate
            if (n) s.resize(rng() % n);
            break;
        case 3:  // erase a range
            if (n) {
                std::size_t at = rng() % n;
                s.erase(at, rng() % (n - at + 1));
            }
            break;
        case 4:  // duplicate a range
            if (n) {
                std::size_t at = rng() % n, len = std::min<std::size_t>(rng() % 64 + 1, n - at);
                s.insert(rng() % (n + 1), s.substr(at, len));
            }
            break;
        case 5:  // splice in part of another seed
            if (!seeds.empty()) {
                const std::string& o = seeds[rng() % seeds.size()];
                if (!o.empty()) {
                    std::size_t at = rng() % o.size(), len = std::min<std::size_t>(rng() % 256 + 1, o.size() - at);
                    s.insert(n ? rng() % (n + 1) : 0, o.substr(at, len));
                }
            }
            break;
        default:  // overwrite 4 bytes with a random 32-bit value
            if (n >= 4) {
                std::uint32_t v = rng();
                std::size_t at = rng() % (n - 3);
                for (int k = 0; k < 4; ++k) s[at + k] = static_cast<char>(v >> (8 * k));
            }
            break;
        }
    }
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    // Targets that touch the program's folders (ini files, the Windows
    // folder) must never reach the user's real data folder.
    char homeTemplate[] = "/tmp/tavrin-fuzz-home-XXXXXX";
    const char* home = mkdtemp(homeTemplate);
    if (!home) {
        std::fprintf(stderr, "cannot create a temporary data folder\n");
        return 2;
    }
    setenv("TAVRIN_HOME", home, 1);
    struct RemoveHome {
        std::string path;
        ~RemoveHome() {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    } removeHome{home};

    std::vector<std::string> seeds;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path p = argv[i];
        std::error_code ec;
        if (std::filesystem::is_directory(p, ec)) {
            for (auto& e : std::filesystem::recursive_directory_iterator(p, ec))
                if (e.is_regular_file()) seeds.push_back(ReadAll(e.path()));
        } else if (std::filesystem::is_regular_file(p, ec)) {
            seeds.push_back(ReadAll(p));
        } else {
            std::fprintf(stderr, "seed not found: %s\n", argv[i]);
            return 2;
        }
    }
    seeds.push_back(std::string());

    std::random_device fresh;
    g_seed = (static_cast<std::uint64_t>(fresh()) << 32) ^ fresh();
    if (const char* env = std::getenv("TAVRIN_FUZZ_SEED"); env && *env) g_seed = std::strtoull(env, nullptr, 10);
    for (int sig : {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL}) std::signal(sig, OnFatalSignal);
    if (__sanitizer_set_death_callback) __sanitizer_set_death_callback(ReportFailure);
    WriteNumber("fuzz: TAVRIN_FUZZ_SEED=", g_seed);
    [[maybe_unused]] ssize_t w = ::write(2, "\n", 1);

    for (const auto& s : seeds) Run(s);

    long runs = 2000;
    if (const char* env = std::getenv("TAVRIN_FUZZ_RUNS")) runs = std::atol(env);
    long seconds = 0;
    if (const char* env = std::getenv("TAVRIN_FUZZ_SECONDS")) seconds = std::atol(env);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::mt19937_64 rng(g_seed);
    long done = 0;
    for (;; ++done) {
        if (seconds > 0 ? (done % 256 == 0 && std::chrono::steady_clock::now() >= until) : done >= runs) break;
        g_mutation = done;
        const std::string& base = seeds[rng() % seeds.size()];
        Run(Mutate(base, rng, seeds));
    }
    std::printf("fuzz: %zu seeds, %ld mutations from TAVRIN_FUZZ_SEED=%llu, no failure\n", seeds.size(), done,
                static_cast<unsigned long long>(g_seed));
    return 0;
}
