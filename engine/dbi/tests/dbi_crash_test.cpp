// Crashes in the middle of writes through the entry points. A child process
// works on a table (single inserts, modifies and deletes, and user
// transactions of several changes) and is killed with SIGKILL at a random
// moment; a fresh process then opens the table and checks it: both indexes
// and the sequential order hold the same rows in order, the header count
// agrees, every memo is whole, and the rows are exactly the state before
// or after the operation that was running. The rounds continue on the same
// table, so damage left by one kill would also show in later ones.
//
// TAVRIN_CRASH_ROUNDS sets the number of kills per test (a long run:
// TAVRIN_CRASH_ROUNDS=5000).
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <thread>

#include "engine/dbi/tests/api_fixture.h"

using namespace qv;
using apitest::FieldDesc;
using apitest::IndexDesc;

namespace {

constexpr std::uint16_t kId = 1, kTitle = 2, kMemo = 3;

struct Row {
    std::string title;
    std::string memo;
    bool operator==(const Row&) const = default;
};
using Model = std::map<std::int32_t, Row>;

// One change of a row; an operation is one change alone (its own implicit
// transaction) or several inside one user transaction.
struct Change {
    enum Kind { Insert, Modify, Delete } kind;
    std::int32_t id;
    Row row;
};
struct Operation {
    std::vector<Change> changes;
    bool transaction = false;
    bool commit = true;
};

std::uint64_t Mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

Row MakeRow(std::uint64_t r, std::int32_t k) {
    char title[16];
    std::snprintf(title, sizeof title, "T%03u", static_cast<unsigned>(r % 40));
    // Empty, short and several-block memos.
    const std::size_t lengths[] = {0, 7, 300, 2500, 9000};
    std::string memo(lengths[(r >> 8) % 5], '\0');
    for (std::size_t i = 0; i < memo.size(); ++i) memo[i] = static_cast<char>('a' + (i * 7 + k) % 26);
    return {title, memo};
}

// Operation k on a table in state `m`, and the state after it.
Operation Plan(const Model& m, std::int32_t k, bool transactions) {
    Operation op;
    std::uint64_t r = Mix(static_cast<std::uint64_t>(k));
    Model work = m;
    auto pick = [&](std::uint64_t x) {
        auto it = work.begin();
        std::advance(it, static_cast<long>(x % work.size()));
        return it->first;
    };
    auto one = [&](std::uint64_t x, std::int32_t newId) {
        const unsigned roll = static_cast<unsigned>(x % 100);
        const bool full = work.size() >= 40;
        Change c;
        if (work.empty() || (!full && roll < 50)) {
            c = {Change::Insert, newId, MakeRow(x >> 7, newId)};
            work[newId] = c.row;
        } else if (roll < 80) {
            c = {Change::Modify, pick(x >> 9), MakeRow(x >> 17, k)};
            // A memo is rewritten in place, call by call; only a user
            // transaction makes that one change with the record's.
            if (!op.transaction) c.row.memo = work[c.id].memo;
            work[c.id] = c.row;
        } else {
            c = {Change::Delete, pick(x >> 9), {}};
            work.erase(c.id);
        }
        op.changes.push_back(c);
    };
    op.transaction = transactions && r % 3 != 0;
    if (!op.transaction) {
        one(r >> 3, k * 8);
        return op;
    }
    const int count = 2 + static_cast<int>((r >> 40) % 4);
    for (int i = 0; i < count; ++i) one(Mix(r + static_cast<std::uint64_t>(i)), k * 8 + i);
    op.commit = (r >> 50) % 8 != 0;
    return op;
}

void Apply(Model& m, const Operation& op) {
    if (!op.commit) return;
    for (const Change& c : op.changes) {
        if (c.kind == Change::Delete)
            m.erase(c.id);
        else
            m[c.id] = c.row;
    }
}

// ---- the processes ---------------------------------------------------------------------------

struct Engine {
    hDBIDb db = kNilHandle;

    bool Start(const std::string& folder) {
        SetSystemTableDirectory(folder + "sys");
        plat::SetDataHome(folder + "home");
        if (DbiInit(nullptr) != 0) return false;
        return DbiOpenDatabase(folder.c_str(), nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db) == 0;
    }
    hDBICur Open(const char* index) {
        hDBICur cur = kNilHandle;
        DbiOpenTable(db, "Pages", nullptr, index, nullptr, 0, 0, 0, 0, false, nullptr, cur);
        return cur;
    }
};

std::uint32_t RecordSize(hDBICur cur) {
    std::vector<std::uint8_t> props(CURProps::kSize, 0);
    DbiGetCursorProps(cur, props.data());
    return CURProps::Read(props.data()).recordBufferSize;
}

DBIResult SetMemo(hDBICur cur, std::vector<std::uint8_t>& rec, const std::string& memo, bool existing) {
    if (existing) {
        if (DBIResult rc = DbiOpenBlob(cur, rec.data(), kMemo, 0)) return rc;
        if (DBIResult rc = DbiTruncateBlob(cur, rec.data(), kMemo, 0)) return rc;
    }
    if (memo.empty()) return 0;
    return DbiPutBlob(cur, rec.data(), kMemo, 0, static_cast<std::uint32_t>(memo.size()), memo.data());
}

DBIResult Find(hDBICur cur, std::int32_t id, std::vector<std::uint8_t>& rec) {
    std::vector<std::uint8_t> probe(rec.size(), 0);
    DbiInitRecord(cur, probe.data());
    DbiPutField(cur, kId, probe.data(), &id);
    return DbiGetRecordForKey(cur, false, 1, 0, probe.data(), rec.data());
}

DBIResult Run(hDBICur cur, const Change& c, bool transaction) {
    std::vector<std::uint8_t> rec(RecordSize(cur), 0);
    if (c.kind == Change::Insert) {
        DbiInitRecord(cur, rec.data());
        std::int32_t id = c.id;
        if (DBIResult rc = DbiPutField(cur, kId, rec.data(), &id)) return rc;
        if (DBIResult rc = DbiPutField(cur, kTitle, rec.data(), c.row.title.c_str())) return rc;
        if (DBIResult rc = SetMemo(cur, rec, c.row.memo, false)) return rc;
        return DbiInsertRecord(cur, 0, rec.data());
    }
    if (DBIResult rc = Find(cur, c.id, rec)) return rc;
    if (c.kind == Change::Delete) return DbiDeleteRecord(cur, nullptr);
    if (DBIResult rc = DbiPutField(cur, kTitle, rec.data(), c.row.title.c_str())) return rc;
    if (transaction)
        if (DBIResult rc = SetMemo(cur, rec, c.row.memo, true)) return rc;
    return DbiModifyRecord(cur, rec.data(), true);
}

// What a fresh process finds, or why the table is broken.
struct Found {
    Model rows;
    std::string broken;
};

std::string Memo(hDBICur cur, std::vector<std::uint8_t>& rec, std::string& why) {
    std::uint32_t size = 0;
    if (DbiOpenBlob(cur, rec.data(), kMemo, 0) != 0 || DbiGetBlobSize(cur, rec.data(), kMemo, size) != 0) {
        why = "memo unreadable";
        return {};
    }
    std::string memo(size, '\0');
    std::uint32_t got = 0;
    if (size != 0 && (DbiGetBlob(cur, rec.data(), kMemo, 0, size, memo.data(), got) != 0 || got != size))
        why = "memo cut short";
    return memo;
}

Found Inspect(Engine& e) {
    Found f;
    // The sequential order, the unique key and the title key with duplicates.
    std::vector<std::vector<std::int32_t>> orders;
    for (const char* index : {static_cast<const char*>(nullptr), "HelpIdx", "TitleIdx"}) {
        hDBICur cur = e.Open(index);
        if (cur == kNilHandle) {
            f.broken = std::string("table does not open on ") + (index ? index : "sequence");
            return f;
        }
        std::vector<std::uint8_t> rec(RecordSize(cur), 0);
        std::vector<std::int32_t> ids;
        std::string lastTitle;
        DbiSetToBegin(cur);
        DBIResult rc;
        while ((rc = DbiGetNextRecord(cur, 0, rec.data(), nullptr)) == 0) {
            std::int32_t id = 0;
            char title[64] = {};
            bool blank = false;
            DbiGetField(cur, kId, rec.data(), &id, &blank);
            DbiGetField(cur, kTitle, rec.data(), title, &blank);
            if (index != nullptr && std::string(index) == "HelpIdx") {
                if (!ids.empty() && id <= ids.back()) f.broken = "help-id index out of order";
                std::string why;
                Row row{title, Memo(cur, rec, why)};
                if (!why.empty()) f.broken = why + " at " + std::to_string(id);
                f.rows[id] = row;
            }
            if (index != nullptr && std::string(index) == "TitleIdx") {
                if (title < lastTitle) f.broken = "title index out of order";
                lastTitle = title;
            }
            ids.push_back(id);
            if (ids.size() > 10000) break;
        }
        if (rc != kDbiErrEof) f.broken = "walk ended with " + std::to_string(rc);
        std::uint32_t count = 0;
        DbiGetRecordCount(cur, count);
        if (count != ids.size())
            f.broken = "header count " + std::to_string(count) + ", rows " + std::to_string(ids.size());
        std::sort(ids.begin(), ids.end());
        if (std::adjacent_find(ids.begin(), ids.end()) != ids.end()) f.broken = "duplicate rows";
        orders.push_back(ids);
        DbiCloseCursor(cur);
    }
    if (orders[0] != orders[1] || orders[1] != orders[2]) f.broken = "the indexes hold different rows";
    return f;
}

std::string Describe(const Model& m) {
    std::string s;
    for (const auto& [id, row] : m) s += std::to_string(id) + ":" + row.title + "/" + std::to_string(row.memo.size()) + " ";
    return s;
}

// One fresh process per round. It opens the table and checks it against
// the state before and after the operation the last one was killed in
// (`after` null when none was running), reports 10 (before), 11 (after) or
// 1 (broken), and goes on working from that state: it reports each
// operation's number when it starts (positive) and when it has finished
// (negative), until it is killed.
[[noreturn]] void Child(const std::string& folder, Model before, const Model* after, std::int32_t next,
                        std::int32_t begun, bool transactions, int out) {
    auto send = [&](std::int32_t v) {
        if (write(out, &v, sizeof v) != sizeof v) _exit(22);
    };
    Engine e;
    if (!e.Start(folder)) _exit(20);
    Found f = Inspect(e);
    if (f.broken.empty() && f.rows == before) {
        send(10);
    } else if (f.broken.empty() && after != nullptr && f.rows == *after) {
        send(11);
        before = *after;
        next = begun + 1;
    } else {
        std::fprintf(stderr, "broken: %s\n found: %s\n before: %s\n", f.broken.c_str(), Describe(f.rows).c_str(),
                     Describe(before).c_str());
        if (after) std::fprintf(stderr, " after: %s\n", Describe(*after).c_str());
        send(1);
        _exit(1);
    }
    Model m = before;
    hDBICur cur = e.Open("HelpIdx");
    if (cur == kNilHandle) _exit(21);
    for (std::int32_t k = next;; ++k) {
        Operation op = Plan(m, k, transactions);
        send(k);
        std::uint32_t tr = 0;
        if (op.transaction && DbiBeginTran(e.db, 0, tr) != 0) _exit(23);
        for (const Change& c : op.changes)
            if (DBIResult rc = Run(cur, c, op.transaction)) {
                std::fprintf(stderr, "operation %d: change of %d answered %u\n", k, c.id, rc);
                _exit(24);
            }
        if (op.transaction && DbiEndTran(e.db, tr, op.commit ? 0 : 2) != 0) _exit(25);
        Apply(m, op);
        send(-k);
    }
}

int WaitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int Rounds(int fallback) {
    const char* v = std::getenv("TAVRIN_CRASH_ROUNDS");
    return v != nullptr && std::atoi(v) > 0 ? std::atoi(v) : fallback;
}

class CrashTest : public ::testing::TestWithParam<bool> {
protected:
    // In memory where the system has it: a kill, unlike a power cut, loses
    // nothing a file was given, so flushing to a disk adds only waiting.
    // TAVRIN_CRASH_DIR names another place.
    CrashTest() {
        const char* old = std::getenv("TMPDIR");
        const std::string saved = old != nullptr ? old : "";
        const char* chosen = std::getenv("TAVRIN_CRASH_DIR");
        if (chosen == nullptr && access("/dev/shm", W_OK) == 0) chosen = "/dev/shm";
        if (chosen != nullptr) setenv("TMPDIR", chosen, 1);
        tmp = std::make_unique<testsupport::TempDir>();
        if (old != nullptr)
            setenv("TMPDIR", saved.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
    std::unique_ptr<testsupport::TempDir> tmp;

    std::string Folder() const { return tmp->path().string() + "/"; }

    void CreateTable() {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            Engine e;
            if (!e.Start(Folder())) _exit(2);
            std::vector<std::uint8_t> fields, indexes;
            for (const auto& f : {FieldDesc(1, "HelpId", fldINT32, 0, 0), FieldDesc(2, "Title", fldZSTRING, 0, 20),
                                  FieldDesc(3, "Body", fldBLOB, fldstMEMO, 0)})
                fields.insert(fields.end(), f.begin(), f.end());
            for (const auto& x : {IndexDesc("HelpIdx", {1}, true), IndexDesc("TitleIdx", {2}, false)})
                indexes.insert(indexes.end(), x.begin(), x.end());
            CRTblDesc td;
            td.tableName = "Pages";
            td.fieldCount = 3;
            td.fieldDescs = fields.data();
            td.indexCount = 2;
            td.indexDescs = indexes.data();
            _exit(DbiCreateTable(e.db, false, td) == 0 ? 0 : 3);
        }
        ASSERT_EQ(WaitFor(pid), 0);
    }
};

TEST_P(CrashTest, EveryKillLeavesTheTableWholeAndInTheStateBeforeOrAfter) {
    const bool transactions = GetParam();
    std::filesystem::create_directories(*tmp / "sys");
    std::filesystem::create_directories(*tmp / "home");
    CreateTable();
    Model state;
    std::int32_t next = 1;
    std::mt19937 rng(transactions ? 7 : 3);
    const int rounds = Rounds(150);
    const char* delay = std::getenv("TAVRIN_CRASH_MAX_US");
    const int maxDelay = delay != nullptr && std::atoi(delay) > 0 ? std::atoi(delay) : 8000;
    int broken = 0, midOperation = 0, rolledForward = 0, kills = 0;
    Model after;
    bool running = false;
    std::int32_t begun = 0;
    // One round more than kills: the last process only checks.
    for (int round = 0; round <= rounds && broken == 0; ++round) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(fds[0]);
            Child(Folder(), state, running ? &after : nullptr, next, begun, transactions, fds[1]);
        }
        close(fds[1]);
        std::int32_t v = -1;
        const bool answered = read(fds[0], &v, sizeof v) == static_cast<ssize_t>(sizeof v);
        if (!answered || (v != 10 && v != 11)) {
            ++broken;
            ADD_FAILURE() << "round " << round << ": the table is broken, operation " << begun << " was "
                          << (running ? "running" : "finished");
            kill(child, SIGKILL);
            WaitFor(child);
            close(fds[0]);
            break;
        }
        if (v == 11) {
            state = after;
            next = begun + 1;
            ++rolledForward;
        }
        if (round == rounds) {
            kill(child, SIGKILL);
            WaitFor(child);
            close(fds[0]);
            break;
        }
        // Killed at a random moment of its work.
        std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, maxDelay)(rng)));
        kill(child, SIGKILL);
        ++kills;
        const int status = WaitFor(child);
        ASSERT_EQ(status, 128 + SIGKILL) << "the process stopped by itself in round " << round;
        std::int32_t done = next - 1;
        begun = next - 1;
        while (read(fds[0], &v, sizeof v) == static_cast<ssize_t>(sizeof v)) {
            if (v > 0) begun = v;
            if (v < 0) done = -v;
        }
        close(fds[0]);
        // Replay what finished; the one under way may or may not have.
        for (; next <= done; ++next) Apply(state, Plan(state, next, transactions));
        after = state;
        running = begun > done;
        if (running) Apply(after, Plan(state, begun, transactions));
        midOperation += running;
    }
    EXPECT_EQ(broken, 0);
    std::printf("%d kills, %d during an operation (%d of them kept), %d operations done, %zu rows\n", kills,
                midOperation, rolledForward, next - 1, state.size());
}

INSTANTIATE_TEST_SUITE_P(Writes, CrashTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "UserTransactions" : "ImplicitWrites"; });

}  // namespace
