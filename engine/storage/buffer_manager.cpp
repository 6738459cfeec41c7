#include "engine/storage/buffer_manager.h"
#include "platform/core/check.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <set>

#include "engine/base/engine_string_tables.h"
#include "engine/storage/file_access.h"
#include "engine/storage/journal.h"

namespace qv {

TqvBufferManager::TqvBufferManager() = default;

TqvBufferManager::~TqvBufferManager() {
    // Journals of transactions still open stay on disk: they are what the
    // next open recovers from.
    for (auto& t : transactions_) {
        if (t.second->journal && t.second->journal->handle >= 0) {
            try {
                CloseTableFile(t.second->journal.get());
            } catch (const EqvException&) {
            }
        }
    }
}

void TqvPageTable::Put(std::uint32_t file, std::uint32_t block, TqvbmRAMPage* page) {
    if (2 * (count_ + 1) > slots_.size()) Grow();
    const std::uint64_t key = Key(file, block);
    for (std::size_t i = Home(key);; i = (i + 1) & mask_) {
        Slot& s = slots_[i];
        if (s.page == nullptr) {
            s.key = key;
            s.page = page;
            ++count_;
            return;
        }
        if (s.key == key) {
            s.page = page;
            return;
        }
    }
}

void TqvPageTable::Erase(std::uint32_t file, std::uint32_t block, const TqvbmRAMPage* page) {
    if (slots_.empty()) return;
    const std::uint64_t key = Key(file, block);
    std::size_t i = Home(key);
    for (;; i = (i + 1) & mask_) {
        if (slots_[i].page == nullptr) return;
        if (slots_[i].key == key) break;
    }
    if (page != nullptr && slots_[i].page != page) return;
    // Backward shift: entries after the hole that may live in it move up,
    // so a probe never stops early at a gap.
    for (std::size_t j = (i + 1) & mask_;; j = (j + 1) & mask_) {
        if (slots_[j].page == nullptr) break;
        const std::size_t home = Home(slots_[j].key);
        // j's entry may fill the hole when its home is not in (i, j].
        if (((j - home) & mask_) >= ((j - i) & mask_)) {
            slots_[i] = slots_[j];
            i = j;
        }
    }
    slots_[i] = Slot{};
    --count_;
}

void TqvPageTable::Grow() {
    std::vector<Slot> old = std::move(slots_);
    const std::size_t size = old.empty() ? 64 : 2 * old.size();
    slots_.assign(size, Slot{});
    mask_ = size - 1;
    shift_ = 64 - static_cast<unsigned>(std::countr_zero(size));
    count_ = 0;
    for (const Slot& s : old)
        if (s.page != nullptr) Put(static_cast<std::uint32_t>(s.key >> 32), static_cast<std::uint32_t>(s.key), s.page);
}

void TqvBufferManager::Stamp(TqvbmRAMPage* page) {
    if (++useCounter_ == 0) {
        for (auto& p : all_) p->stamp = 1;
        threshold_ = 1;
        useCounter_ = 2;
    }
    page->stamp = useCounter_;
    // A page moved to the newest end a short while ago is still among the
    // newest: moving it again would only touch its neighbours' memory. In
    // a small cache every use moves it. The stamp is always set, so pages
    // touched in the access window are never victims.
    if (page->listed && newest_ != page && useCounter_ - page->listedAt >= pageLimit_ / 16) {
        Unlist(page);
        ListNewest(page);
    }
}

void TqvBufferManager::Unlist(TqvbmRAMPage* page) {
    if (!page->listed) return;
    // Its neighbours point back at it, or it is that end of the list.
    TAVRIN_ASSERT((page->older ? page->older->newer : oldest_) == page);
    TAVRIN_ASSERT((page->newer ? page->newer->older : newest_) == page);
    (page->older ? page->older->newer : oldest_) = page->newer;
    (page->newer ? page->newer->older : newest_) = page->older;
    page->older = page->newer = nullptr;
    page->listed = false;
}

void TqvBufferManager::ListNewest(TqvbmRAMPage* page) {
    // The list holds clean pages only, each once.
    TAVRIN_ASSERT(!page->listed && !page->bound);
    page->older = newest_;
    page->newer = nullptr;
    (newest_ ? newest_->newer : oldest_) = page;
    newest_ = page;
    page->listed = true;
    page->listedAt = useCounter_;
}

void TqvBufferManager::ListByStamp(std::vector<TqvbmRAMPage*> pages) {
    std::erase_if(pages, [](const TqvbmRAMPage* p) { return p->listed || p->bound || p->block == 0 || !p->file; });
    std::sort(pages.begin(), pages.end(),
              [](const TqvbmRAMPage* a, const TqvbmRAMPage* b) { return a->stamp > b->stamp; });
    // Newest first, each walking back from where the last one went: pages
    // touched since stay in front of them.
    TqvbmRAMPage* after = newest_;
    for (TqvbmRAMPage* p : pages) {
        while (after && after->stamp > p->stamp) after = after->older;
        p->older = after;
        p->newer = after ? after->newer : oldest_;
        (p->older ? p->older->newer : oldest_) = p;
        (p->newer ? p->newer->older : newest_) = p;
        p->listed = true;
        p->listedAt = p->stamp;
        after = p;
    }
}

TqvbmRAMPage* TqvBufferManager::Attach(TbtdFileInfo* file, std::uint32_t n) {
    TqvbmRAMPage* page = nullptr;
    if (!freePages_.empty()) {
        page = freePages_.back();
        freePages_.pop_back();
        // A free page belongs to no file and sits in no list.
        TAVRIN_ASSERT(!page->file && !page->listed && !page->bound);
    } else if (all_.size() >= pageLimit_ && oldest_ && oldest_->stamp < threshold_) {
        // The least recently used clean page; when even it was touched in
        // the access window, every listed page was.
        page = oldest_;
        // A bound page is never listed, so never evicted; nor is one touched
        // in the access window.
        TAVRIN_ASSERT(page->listed && !page->bound && page->block != 0);
        Unlist(page);
        inUse_.Erase(page->file->id, static_cast<std::uint32_t>(page->block));
    }
    if (!page) {
        all_.push_back(std::make_unique<TqvbmRAMPage>());
        page = all_.back().get();
    }
    page->file = file;
    page->block = n;
    page->bound = false;
    page->transaction = 0;
    page->buffer.assign(file->blockSize ? file->blockSize : 32, 0);
    (n == 0 ? headers_ : inUse_).Put(file->id, n, page);
    if (n != 0) ListNewest(page);
    return page;
}

void TqvBufferManager::DropPage(TqvbmRAMPage* page) {
    changes_.fetch_add(1, std::memory_order_acq_rel);
    TAVRIN_ASSERT(page->file || !page->listed);
    if (page->file) {
        (page->block == 0 ? headers_ : inUse_).Erase(page->file->id, static_cast<std::uint32_t>(page->block), page);
    }
    Unlist(page);
    page->bound = false;
    page->transaction = 0;
    page->file = nullptr;
    page->block = -1;
    freePages_.push_back(page);
}

void TqvBufferManager::LoadHeader(TbtdFileInfo* file, TqvbmRAMPage* page) {
    std::uint8_t head[20];
    std::uint32_t got = ReadTableFileAt(file, 0, 20, head);
    std::uint32_t bs = got == 20 ? GetU32(head + hdr::kBlockSize) : 0;
    if (got != 20 || std::memcmp(head, "QVFH", 4) != 0 || GetU32(head + 4) != kQvNone || GetU32(head + 8) != 0 ||
        !QvIsValidBlockSize(bs))
        RaiseServer(srv::kNotTableFile, {file->name});
    if (GetU32(head + hdr::kEncrypted) == 1) RaiseServer(srv::kEncrypted, {file->name});
    file->blockSize = bs;
    file->log2 = QvLog2BlockSize(bs);
    file->encrypted = false;
    page->buffer.assign(bs, 0);
    ReadTableFileExactAt(file, 0, bs, page->buffer.data());
    // Counts every later step relies on: at least the header block, and no
    // more free blocks than blocks.
    const std::uint8_t* b = page->buffer.data();
    std::uint32_t blocks = GetU32(b + hdr::kBlockCount);
    if (blocks < 1 || GetU32(b + hdr::kFreeCount) >= blocks ||
        (static_cast<std::uint64_t>(blocks - 1) << file->log2) > 0xFFFFFFFFull)
        RaiseServer(srv::kNotTableFile, {file->name});
}

std::uint8_t* TqvBufferManager::GetHeaderBlock(TbtdFileInfo* file, bool forUpdate) {
    TqvPadLockGuard g(lock_);
    CheckFileInfo(file, true);
    TqvbmRAMPage* page = Find(file, 0);
    if (!page) {
        page = Attach(file, 0);
        try {
            LoadHeader(file, page);
        } catch (...) {
            DropPage(page);
            throw;
        }
    }
    Stamp(page);
    if (forUpdate) Bind(page, true);
    return page->buffer.data();
}

std::uint8_t* TqvBufferManager::GetBlock(TbtdFileInfo* file, std::uint32_t n, bool forUpdate) {
    if (n == 0) return GetHeaderBlock(file, forUpdate);
    TqvPadLockGuard g(lock_);
    CheckFileInfo(file, true);
    if (file->blockSize == 0) GetHeaderBlock(file, false);
    TqvbmRAMPage* page = Find(file, n);
    if (!page) {
        page = Attach(file, n);
        try {
            ReadTableFileExactAt(file, static_cast<std::uint64_t>(n) * file->blockSize, file->blockSize,
                                 page->buffer.data());
        } catch (...) {
            DropPage(page);
            throw;
        }
    }
    Stamp(page);
    if (forUpdate) Bind(page, true);
    return page->buffer.data();
}

std::uint8_t* TqvBufferManager::GetFreshBlock(TbtdFileInfo* file, std::uint32_t n) {
    TqvPadLockGuard g(lock_);
    CheckFileInfo(file, true);
    if (!QvIsValidBlockSize(file->blockSize)) RaiseServer(srv::kInvalidFileInfo, {});
    file->log2 = QvLog2BlockSize(file->blockSize);
    TqvbmRAMPage* page = Find(file, n);
    if (!page) page = Attach(file, n);
    Stamp(page);
    Bind(page, false);
    return page->buffer.data();
}

void TqvBufferManager::MarkBlockDirty(TbtdFileInfo* file, std::uint32_t n) {
    TqvPadLockGuard g(lock_);
    TqvbmRAMPage* page = Find(file, n);
    if (!page) return;
    Stamp(page);
    Bind(page, true);
}

TqvTransactionItem* TqvBufferManager::Item(std::uint32_t trNo) {
    auto it = transactions_.find(trNo);
    return it == transactions_.end() ? nullptr : it->second.get();
}

bool TqvBufferManager::HasTransaction(std::uint32_t trNo) {
    TqvPadLockGuard g(lock_);
    return Item(trNo) != nullptr;
}

namespace {
// Pending journal bytes beyond this go out at once: a big transaction keeps
// a bounded buffer.
constexpr std::size_t kPendingJournalLimit = 1 << 20;
}  // namespace

void TqvBufferManager::AppendJournal(TqvTransactionItem& item, const TqvbmRAMPage& page) {
    TbtdFileInfo* f = page.file;
    const std::string pathOf = f->name + '\n' + item.journalName;
    if (f->journalPath.empty() || f->journalPathOf != pathOf) {
        // A table beside the journal is named by its file name alone, so a
        // copied or moved folder still recovers with the journal it holds.
        f->journalPath = QvJournalRecordName(QvJournalFullPath(f->name), QvJournalFullPath(item.journalName));
        f->journalPathOf = pathOf;
    }
    item.pending += EncodeJournalRecordHead(static_cast<std::uint32_t>(page.block),
                                            static_cast<std::uint32_t>(page.buffer.size()), true, f->journalPath);
    item.pending.append(reinterpret_cast<const char*>(page.buffer.data()), page.buffer.size());
    item.beforeImages.push_back({page.file, page.file->name, static_cast<std::uint32_t>(page.block),
                                 static_cast<std::uint32_t>(page.buffer.size()),
                                 item.journalEnd + kJournalRecordHeadSize});
    item.journalEnd += kJournalRecordHeadSize + page.buffer.size();
    if (item.pending.size() >= kPendingJournalLimit) WriteJournal(item);
}

void TqvBufferManager::WriteJournal(TqvTransactionItem& item) {
    if (item.pending.empty()) return;
    if (!item.journal) {
        TbtdFileInfoPtr j = NewFileInfo(item.journalName, "QV$", 0);
        OpenTableFile(j.get(), true, false, true, true);
        item.journal = std::move(j);
    }
    WriteTableFileAt(item.journal.get(), item.pendingAt, static_cast<std::uint32_t>(item.pending.size()),
                     item.pending.data());
    item.pendingAt += item.pending.size();
    item.pending.clear();
}

void TqvBufferManager::NoteExtents(TqvTransactionItem& item, const std::vector<TqvbmRAMPage*>& pages) {
    for (TqvbmRAMPage* p : pages) {
        auto known = std::find_if(item.extents.begin(), item.extents.end(),
                                  [&](const TqvFileExtent& e) { return e.file == p->file; });
        if (known == item.extents.end()) item.extents.push_back({p->file, p->file->name, GetTableFileSize(p->file)});
    }
}

void TqvBufferManager::RemoveJournal(TqvTransactionItem& item) {
    if (!item.journal) return;
    try {
        QvDeleteFile(item.journal->name);
    } catch (const EqvException&) {
        // The journal could not go: a zeroed head, once durable, recovers
        // as a transaction that did nothing, so the writes stand all the
        // same. When even that fails the caller rolls back.
        const std::uint8_t zero[kJournalHeadSize] = {};
        WriteTableFileAt(item.journal.get(), 0, kJournalHeadSize, zero);
        FlushTableFile(item.journal.get());
        int e = 0;
        QvFileAccess().Delete(item.journal->name, e);
    }
    TbtdFileInfoPtr j = std::move(item.journal);
    if (j->handle >= 0) {
        try {
            CloseTableFile(j.get());
        } catch (const EqvException&) {
        }
    }
}

void TqvBufferManager::Bind(TqvbmRAMPage* page, bool journal) {
    changes_.fetch_add(1, std::memory_order_acq_rel);
    const std::uint32_t tr = page->file->transaction;
    if (page->bound) {
        if (page->transaction == tr) return;
        // Handing a page to a second transaction would let one commit or
        // roll back the other's changes.
        RaiseServer(srv::kPageBoundElsewhere, {page->file->name, page->block});
    }
    TqvTransactionItem* item = Item(tr);
    if (journal && item && item->state == 2) AppendJournal(*item, *page);
    Unlist(page);  // a bound page is never a victim
    page->bound = true;
    page->transaction = tr;
    TAVRIN_ASSERT(!page->listed);
}

void TqvBufferManager::StartTransaction(std::uint32_t trNo, bool failSafe, const std::string& journalPath) {
    TqvPadLockGuard g(lock_);
    if (Item(trNo)) return;
    auto item = std::make_unique<TqvTransactionItem>();
    item->number = trNo;
    if (failSafe) {
        std::string name = QvChangeFileExt(journalPath, "QV$");
        if (name.empty()) name = journalPath + ".QV$";
        // A journal of this name left by a commit that never finished holds
        // the only record of it: recover before a new one can be made.
        QvRecoverJournal(name);
        item->journalName = name;
        // The head waits with the before-images: the file is created by
        // the first write, which comes before any table file is written,
        // so a transaction that changes nothing never makes one.
        item->pending.assign("JQVH\0\0\0\0", kJournalHeadSize);
        item->journalEnd = kJournalHeadSize;
        item->state = 2;
    }
    transactions_[trNo] = std::move(item);
}

std::vector<TqvbmRAMPage*> TqvBufferManager::BoundPages(std::uint32_t trNo) {
    std::vector<TqvbmRAMPage*> out;
    for (const TqvPageTable* map : {&headers_, &inUse_})
        map->ForEach([&](TqvbmRAMPage* p) {
            if (p->bound && p->transaction == trNo) out.push_back(p);
        });
    // In file and block order: the writes go out front to back.
    std::sort(out.begin(), out.end(), [](const TqvbmRAMPage* a, const TqvbmRAMPage* b) {
        return a->file != b->file ? a->file->id < b->file->id : a->block < b->block;
    });
    return out;
}

void TqvBufferManager::WritePages(const std::vector<TqvbmRAMPage*>& pages) {
    std::vector<TbtdFileInfo*> flush;
    std::vector<std::uint8_t> run;
    // Pages come in file and block order: neighbouring blocks go out in one write.
    for (std::size_t i = 0; i < pages.size();) {
        TqvbmRAMPage* p = pages[i];
        // Only a transaction's own pages are written, and a bound page is
        // never in the eviction order.
        TAVRIN_ASSERT(p->bound && !p->listed && p->file);
        if (std::find(flush.begin(), flush.end(), p->file) == flush.end()) flush.push_back(p->file);
        const std::size_t size = p->buffer.size();
        std::size_t j = i + 1;
        while (j < pages.size() && pages[j]->file == p->file && pages[j]->buffer.size() == size &&
               pages[j]->block == pages[j - 1]->block + 1 && (j - i + 1) * size <= 0x100000)
            ++j;
        const std::uint64_t at = static_cast<std::uint64_t>(p->block) * size;
        if (j == i + 1) {
            WriteTableFileAt(p->file, at, static_cast<std::uint32_t>(size), p->buffer.data());
        } else {
            run.resize((j - i) * size);
            for (std::size_t k = i; k < j; ++k) std::memcpy(run.data() + (k - i) * size, pages[k]->buffer.data(), size);
            WriteTableFileAt(p->file, at, static_cast<std::uint32_t>(run.size()), run.data());
        }
        i = j;
    }
    for (TbtdFileInfo* f : flush) FlushTableFile(f);
    // Pages stay bound until every file is durable, so a failure leaves the
    // whole transaction in the cache for a retry or a rollback.
    for (TqvbmRAMPage* p : pages) {
        p->bound = false;
        p->transaction = 0;
    }
    ListByStamp(pages);
}

void TqvBufferManager::CloseAndDeleteJournal(TqvTransactionItem& item) {
    item.pending.clear();
    if (!item.journal) return;
    if (item.journal->handle >= 0) CloseTableFile(item.journal.get());
    QvDeleteFile(item.journal->name);
    item.journal.reset();
}

void TqvBufferManager::CommitTransaction(std::uint32_t trNo) {
    TqvPadLockGuard g(lock_);
    TqvTransactionItem* item = Item(trNo);
    std::vector<TqvbmRAMPage*> pages = BoundPages(trNo);
    if (item && item->state == 2 && pages.empty() && !item->flushed) {
        // Nothing changed and nothing was written: there is nothing to make
        // durable, and a journal left behind by a crash recovers as nothing.
        CloseAndDeleteJournal(*item);
    } else if (item && item->state == 2) {
        if (!pages.empty()) {
            // The before-images are durable before the first table block is
            // overwritten; a failure from here on is undone by the rollback
            // from the journal, a crash by recovery.
            WriteJournal(*item);
            FlushTableFile(item->journal.get());
            NoteExtents(*item, pages);
            item->flushed = true;
            WritePages(pages);
        }
        RemoveJournal(*item);
    } else {
        WritePages(pages);
    }
    transactions_.erase(trNo);
    TAVRIN_ASSERT(PagesSound());
}

void TqvBufferManager::FlushTransaction(std::uint32_t trNo) {
    TqvPadLockGuard g(lock_);
    TqvTransactionItem* item = Item(trNo);
    if (!item) return;
    std::vector<TqvbmRAMPage*> pages = BoundPages(trNo);
    if (item->state == 2 && !pages.empty()) {
        // The table files change before the transaction is decided: note
        // their lengths first and make the before-images durable, so a
        // rollback, or recovery after a crash, can undo what is written now.
        NoteExtents(*item, pages);
        WriteJournal(*item);
        FlushTableFile(item->journal.get());
        item->flushed = true;
    }
    WritePages(pages);
}

void TqvBufferManager::RestoreFlushed(TqvTransactionItem& item) {
    TqvFileAccess& fa = QvFileAccess();
    // Files closed since: opened again by name for the restore only.
    std::vector<std::pair<std::string, int>> reopened;
    auto closeReopened = [&] {
        int e = 0;
        for (auto& r : reopened) fa.Close(r.second, e);
    };
    auto handleOf = [&](TbtdFileInfo* file, const std::string& path) -> int {
        if (file != nullptr) return file->handle;
        for (auto& r : reopened)
            if (r.first == path) return r.second;
        int e = 0;
        int h = fa.Open(path, true, false, false, false, e);
        if (h < 0) RaiseServer(srv::kOpenFailed, {path, e});
        reopened.emplace_back(path, h);
        return h;
    };
    try {
        std::vector<std::uint8_t> image;
        // Latest first, so each block ends with its earliest before-image:
        // its bytes when the transaction began. Images still pending belong
        // to pages bound since the last write, which never reached a file.
        for (auto it = item.beforeImages.rbegin(); it != item.beforeImages.rend(); ++it) {
            if (it->imageAt >= item.pendingAt) continue;
            image.resize(it->size);
            ReadTableFileExactAt(item.journal.get(), it->imageAt, it->size, image.data());
            int e = 0;
            const int h = handleOf(it->file, it->path);
            if (fa.WriteAt(h, static_cast<std::uint64_t>(it->block) * it->size, image.data(), it->size, e) !=
                static_cast<std::int64_t>(it->size))
                RaiseServer(srv::kWriteFailed, {it->path, e});
        }
        // Blocks the transaction appended go again.
        for (const TqvFileExtent& x : item.extents) {
            int e = 0;
            if (!fa.SetEndOfFile(handleOf(x.file, x.path), x.size, e)) RaiseServer(srv::kWriteFailed, {x.path, e});
        }
        for (const TqvFileExtent& x : item.extents) {
            int e = 0;
            if (!fa.Flush(handleOf(x.file, x.path), e)) RaiseServer(srv::kFlushFailed, {x.path, e});
        }
    } catch (...) {
        closeReopened();
        throw;
    }
    closeReopened();
    // Clean pages of those files may hold what was flushed: read again from disk.
    std::vector<TqvbmRAMPage*> stale;
    for (const TqvPageTable* map : {&headers_, &inUse_})
        map->ForEach([&](TqvbmRAMPage* p) {
            for (const TqvFileExtent& x : item.extents)
                if (x.file != nullptr && p->file == x.file) {
                    stale.push_back(p);
                    break;
                }
        });
    for (TqvbmRAMPage* p : stale) DropPage(p);
}

void TqvBufferManager::RollbackTransaction(std::uint32_t trNo) {
    TqvPadLockGuard g(lock_);
    TqvTransactionItem* item = Item(trNo);
    if (item && item->state == 2) {
        DiscardTransactionPages(trNo);
        // Progress already written must be undone from the journal; the
        // journal goes only once that has succeeded (else recovery at the
        // next open still has it).
        if (item->flushed && item->journal) RestoreFlushed(*item);
        CloseAndDeleteJournal(*item);
    }
    DiscardTransactionPages(trNo);
    transactions_.erase(trNo);
    TAVRIN_ASSERT(PagesSound());
}

void TqvBufferManager::DiscardTransactionPages(std::uint32_t trNo) {
    TqvPadLockGuard g(lock_);
    for (TqvbmRAMPage* p : BoundPages(trNo)) DropPage(p);
}

void TqvBufferManager::RemoveFile(TbtdFileInfo* file) {
    TqvPadLockGuard g(lock_);
    for (auto& t : transactions_) {
        for (TqvBeforeImage& b : t.second->beforeImages)
            if (b.file == file) b.file = nullptr;
        for (TqvFileExtent& x : t.second->extents)
            if (x.file == file) x.file = nullptr;
    }
    std::vector<TqvbmRAMPage*> pages;
    for (const TqvPageTable* map : {&headers_, &inUse_})
        map->ForEach([&](TqvbmRAMPage* p) {
            if (p->file == file) pages.push_back(p);
        });
    for (TqvbmRAMPage* p : pages) DropPage(p);
    TAVRIN_ASSERT(PagesSound());
}

void TqvBufferManager::BeginAccess() {
    lock_.Lock(true);
    ++accessHolds_;
    threshold_ = useCounter_ + 1;
    inAccess_ = true;
}

void TqvBufferManager::EndAccess() {
    TqvPadLockGuard g(lock_);
    threshold_ = 0xFFFFFFFFu;
    inAccess_ = false;
    // Every hold the window took goes with it (a window opened again inside
    // an open one took the lock again).
    for (; accessHolds_ > 0; --accessHolds_) lock_.Lock(false);
}

bool TqvBufferManager::PagesSound() {
    TqvPadLockGuard g(lock_);
    // The eviction order: clean cached pages other than headers, each once,
    // linked both ways. (Not strictly by stamp: a page used again soon after
    // it was moved to the newest end keeps its place.)
    std::size_t inList = 0;
    const TqvbmRAMPage* older = nullptr;
    for (const TqvbmRAMPage* p = oldest_; p; older = p, p = p->newer) {
        if (++inList > all_.size()) return false;  // a cycle
        if (!p->listed || p->bound || !p->file || p->block <= 0 || p->older != older) return false;
    }
    if (newest_ != older) return false;
    std::size_t listed = 0;
    for (const auto& p : all_) {
        if (p->listed) ++listed;
        // A page in a map is found under its own file and block.
        if (p->file) {
            const TqvPageTable& map = p->block == 0 ? headers_ : inUse_;
            if (map.Find(p->file->id, static_cast<std::uint32_t>(p->block)) != p.get()) return false;
        }
        if (p->bound && !p->file) return false;
    }
    if (listed != inList) return false;
    for (const TqvbmRAMPage* p : freePages_)
        if (p->file || p->listed || p->bound) return false;
    return headers_.Size() + inUse_.Size() + freePages_.size() == all_.size();
}

std::size_t TqvBufferManager::PageCount() {
    TqvPadLockGuard g(lock_);
    return all_.size();
}

TqvAccessScope::TqvAccessScope(TbtdFileInfo* file) {
    TqvBufferManager* bm = file ? file->bufferManager : nullptr;
    if (bm && !bm->InAccess()) {
        bm->BeginAccess();
        opened_ = bm;
    }
}

TqvAccessScope::~TqvAccessScope() {
    if (opened_) opened_->EndAccess();
}

}  // namespace qv
