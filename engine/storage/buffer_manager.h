// The one block cache of the server. Pages are bound to the transaction that
// modifies them and reach the table files only at commit; a rollback drops
// them. Fail-safe transactions keep a rollback journal: the before-image of
// every block they change goes to the journal, which is made durable before
// the first table block is overwritten; the table files are then written and
// made durable, and removing the journal commits. A journal found after a
// crash therefore always rolls back. A commit costs a sync of the journal,
// one per table file written, and the syncs of the folder that make the
// journal's creation and removal durable.
// Pages are found by a hash of file and block; clean pages are kept in order
// of last use (a page used again soon after its last move stays where it
// is: it is among the newest anyway), so the page to evict is the list's
// front, never a search. The page limit is the configuration's MAXRAMPAGES.
// A fail-safe transaction that changed nothing writes and syncs nothing.
//
// Invariants:
// - A bound page is never evicted; it leaves that state by commit (written,
//   unbound), rollback, discard or RemoveFile.
// - While the engine holds its access window (BeginAccess..EndAccess) no page
//   touched in the window is evicted, so returned buffers stay valid. The
//   window holds the cache's lock, on the thread that opened it, until it
//   closes: an operation's many page look-ups then re-enter a lock already
//   held instead of taking it afresh each time.
// - A page belongs to at most one transaction; a second one touching it is
//   an internal error.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/base/qv_base.h"
#include "engine/storage/table_file.h"

namespace qv {

struct TqvbmRAMPage {
    TbtdFileInfo* file = nullptr;
    std::int64_t block = -1;
    std::vector<std::uint8_t> buffer;
    std::uint32_t transaction = 0;
    std::uint32_t stamp = 0;
    bool bound = false;
    // Place in the eviction order (clean, cached, not a header page only).
    TqvbmRAMPage* older = nullptr;
    TqvbmRAMPage* newer = nullptr;
    bool listed = false;
    std::uint32_t listedAt = 0;  // the use count when it last went to the newest end
};

// Where a fail-safe transaction's before-image of one block lies in its
// journal, so that a rollback after progress was written can put it back.
// `file` is cleared when the file is closed; `path` then finds it again.
struct TqvBeforeImage {
    TbtdFileInfo* file = nullptr;
    std::string path;
    std::uint32_t block = 0, size = 0;
    std::uint64_t imageAt = 0;
};

// A table file's length before the transaction first wrote to it.
struct TqvFileExtent {
    TbtdFileInfo* file = nullptr;
    std::string path;
    std::uint64_t size = 0;
};

struct TqvTransactionItem {
    std::uint32_t number = 0;
    // Fail-safe only: the journal's name, and its file once something had
    // to be written to it (created on the first write, not at the start).
    std::string journalName;
    TbtdFileInfoPtr journal;
    std::uint64_t journalEnd = 0;
    // Journal bytes not written yet, which belong at `pendingAt`: the head
    // and before-images go out in one write, just before the sync that
    // precedes any table write.
    std::string pending;
    std::uint64_t pendingAt = 0;
    int state = 1;  // 1 ordinary, 2 fail-safe
    // Fail-safe only: what a rollback needs once FlushTransaction has
    // written pages to the table files.
    std::vector<TqvBeforeImage> beforeImages;
    std::vector<TqvFileExtent> extents;
    bool flushed = false;
};

// Pages by file and block: open addressing with linear probing in a table
// of a power-of-two size kept at most half full, so that a look-up, which
// every block access makes, is a multiply, a shift and usually one probe.
class TqvPageTable {
public:
    TqvbmRAMPage* Find(std::uint32_t file, std::uint32_t block) const {
        if (slots_.empty()) return nullptr;
        const std::uint64_t key = Key(file, block);
        for (std::size_t i = Home(key);; i = (i + 1) & mask_) {
            const Slot& s = slots_[i];
            if (s.page == nullptr) return nullptr;
            if (s.key == key) return s.page;
        }
    }
    // Inserts or replaces.
    void Put(std::uint32_t file, std::uint32_t block, TqvbmRAMPage* page);
    // Removes the entry when it holds `page` (any page when null).
    void Erase(std::uint32_t file, std::uint32_t block, const TqvbmRAMPage* page = nullptr);
    std::size_t Size() const { return count_; }
    template <class F>
    void ForEach(F&& f) const {
        for (const Slot& s : slots_)
            if (s.page != nullptr) f(s.page);
    }

private:
    struct Slot {
        std::uint64_t key = 0;
        TqvbmRAMPage* page = nullptr;
    };
    static std::uint64_t Key(std::uint32_t file, std::uint32_t block) {
        return (std::uint64_t(file) << 32) | block;
    }
    std::size_t Home(std::uint64_t key) const {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> shift_);
    }
    void Grow();

    std::vector<Slot> slots_;
    std::size_t count_ = 0;
    std::size_t mask_ = 0;
    unsigned shift_ = 64;
};

class TqvBufferManager {
public:
    TqvBufferManager();
    ~TqvBufferManager();
    TqvBufferManager(const TqvBufferManager&) = delete;
    TqvBufferManager& operator=(const TqvBufferManager&) = delete;

    std::uint8_t* GetBlock(TbtdFileInfo* file, std::uint32_t n, bool forUpdate);
    std::uint8_t* GetFreshBlock(TbtdFileInfo* file, std::uint32_t n);
    std::uint8_t* GetHeaderBlock(TbtdFileInfo* file, bool forUpdate);
    void MarkBlockDirty(TbtdFileInfo* file, std::uint32_t n);

    void StartTransaction(std::uint32_t trNo, bool failSafe, const std::string& journalPath);
    void CommitTransaction(std::uint32_t trNo);
    void FlushTransaction(std::uint32_t trNo);
    void RollbackTransaction(std::uint32_t trNo);
    void DiscardTransactionPages(std::uint32_t trNo);
    bool HasTransaction(std::uint32_t trNo);

    void RemoveFile(TbtdFileInfo* file);
    void BeginAccess();
    void EndAccess();
    bool InAccess() const { return inAccess_; }
    std::size_t PageCount();
    void SetPageLimit(std::size_t limit) { pageLimit_ = limit; }
    std::size_t PageLimit() const { return pageLimit_; }
    std::size_t FreePageCount() const { return freePages_.size(); }
    // Walks every page for the invariants above and the eviction order's
    // links: for assertions after a transaction ends, and tests.
    bool PagesSound();
    // Grows whenever a page may change or leave: given for update, marked
    // dirty, fresh, dropped (rollback, discard, file removed). What is
    // derived from pages stays good while this stays the same.
    std::uint64_t ChangeCount() const { return changes_.load(std::memory_order_acquire); }

private:
    TqvbmRAMPage* Find(TbtdFileInfo* file, std::uint32_t n) const {
        return (n == 0 ? headers_ : inUse_).Find(file->id, n);
    }
    TqvbmRAMPage* Attach(TbtdFileInfo* file, std::uint32_t n);
    void Stamp(TqvbmRAMPage* page);
    // The eviction order: clean pages of blocks other than 0, oldest stamp
    // first, so the victim is found at the front instead of by a search.
    void Unlist(TqvbmRAMPage* page);
    void ListNewest(TqvbmRAMPage* page);
    // Puts pages that left their transaction back in stamp order.
    void ListByStamp(std::vector<TqvbmRAMPage*> pages);
    void Bind(TqvbmRAMPage* page, bool journal);
    void LoadHeader(TbtdFileInfo* file, TqvbmRAMPage* page);
    void AppendJournal(TqvTransactionItem& item, const TqvbmRAMPage& page);
    // Writes the pending journal bytes, creating the journal first if need be.
    void WriteJournal(TqvTransactionItem& item);
    // Notes the lengths of the files `pages` belong to, before they are written.
    void NoteExtents(TqvTransactionItem& item, const std::vector<TqvbmRAMPage*>& pages);
    // The journal goes: from here the transaction's writes stand.
    void RemoveJournal(TqvTransactionItem& item);
    std::vector<TqvbmRAMPage*> BoundPages(std::uint32_t trNo);
    void WritePages(const std::vector<TqvbmRAMPage*>& pages);
    void DropPage(TqvbmRAMPage* page);
    TqvTransactionItem* Item(std::uint32_t trNo);
    void CloseAndDeleteJournal(TqvTransactionItem& item);
    // Puts back the before-images and lengths of the files a flushed
    // fail-safe transaction wrote, and drops the cached pages of those files.
    void RestoreFlushed(TqvTransactionItem& item);

    std::vector<std::unique_ptr<TqvbmRAMPage>> all_;
    TqvPageTable inUse_;
    TqvPageTable headers_;
    std::vector<TqvbmRAMPage*> freePages_;
    TqvbmRAMPage* oldest_ = nullptr;
    TqvbmRAMPage* newest_ = nullptr;
    std::map<std::uint32_t, std::unique_ptr<TqvTransactionItem>> transactions_;
    TqvPadLock lock_;
    std::size_t pageLimit_ = 500;
    std::uint32_t useCounter_ = 0;
    std::uint32_t threshold_ = 0xFFFFFFFFu;
    bool inAccess_ = false;
    int accessHolds_ = 0;  // times the window took the lock and still holds it
    std::atomic<std::uint64_t> changes_{0};
};

// Opens the access window for the routines of one storage operation unless
// the engine holds it already, so buffers they got stay valid to their end.
class TqvAccessScope {
public:
    explicit TqvAccessScope(TbtdFileInfo* file);
    ~TqvAccessScope();
    TqvAccessScope(const TqvAccessScope&) = delete;
    TqvAccessScope& operator=(const TqvAccessScope&) = delete;

private:
    TqvBufferManager* opened_ = nullptr;
};

}  // namespace qv
