// Fail-safe transaction journals ("<folder>\<database id>.QV$").
//
// Layout: "JQVH", u32 state (0 while the transaction runs, 1 once every
// after-image is in the journal), then records of a 276-byte head
// {"JFRH", u32 block, u32 block size, u32 1 = before-image / 0 = after-image,
// 260-byte zero-filled full path of the table file} followed by the image.
//
// Recovery, run before a table of the folder is opened: a journal in state 1
// is rolled forward (after-images written), one in state 0 is rolled back
// (before-images written, the earliest of each block last); then it is
// deleted. Journals held open by a running transaction are left alone.
//
// The buffer manager writes rollback journals: state 0 and before-images
// only, the head and the images in one write, made durable by one sync
// before any table file is written; removing the journal commits. A head
// that never reached the disk (all zero) recovers as a transaction that did
// nothing. Journals in state 1 are still read and rolled forward.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

constexpr std::uint32_t kJournalHeadSize = 8;
constexpr std::uint32_t kJournalRecordHeadSize = 276;
constexpr std::uint32_t kJournalPathField = 260;

enum class QvRecovery { None, RolledForward, RolledBack, InUse };

// What a record names: the table's file name when it lies beside the journal,
// else its full path (which recovery refuses).
std::string QvJournalRecordName(const std::string& tableFull, const std::string& journalFull);
// The file a recorded name stands for: a bare name lies beside the journal.
std::string QvJournalRecordTarget(const std::string& recorded, const std::string& journalFull);

// The 276-byte head of a record; raises 73 when the path does not fit.
std::string EncodeJournalRecordHead(std::uint32_t block, std::uint32_t blockSize, bool beforeImage,
                                    const std::string& fullPath);
// The absolute path written into records.
std::string QvJournalFullPath(const std::string& name);

// Recovers one journal. Raises 73 for a journal that cannot be trusted
// (then it is left in place) and the file errors of the table files.
QvRecovery QvRecoverJournal(const std::string& journalPath);
// Recovers every journal in `folder`; returns how many were applied.
int QvRecoverFolderJournals(const std::string& folder);

}  // namespace qv
