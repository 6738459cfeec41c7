// An engine with a rebuilder and a "People" table (Id, Name, Notes BLOB;
// indexes ByName with duplicates and unique ById) for the rebuild tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/server/rebuild.h"
#include "engine/storage/field_types.h"
#include "tests/support/test_support.h"

namespace rbtest {

using namespace qv;

inline TqvDataDictionary PeopleDict() {
    TqvDataDictionary d;
    d.AddField("Id", "", qvftInt32, 10, 0, true);
    d.AddField("Name", "", qvftShortString, 20, 0, false);
    d.AddField("Notes", "", qvftBLOBFirst, 0, 0, false);
    d.AddFile("", "QVB", 4096, 2);
    std::uint32_t name = 1, id = 0;
    d.AddIndex("ByName", "", 0, 1, &name, true, true, false);
    d.AddIndex("ById", "", 0, 1, &id, false, true, false);
    return d;
}

// The engine side of one process: an engine, a rebuilder, one client and its database.
struct Server {
    static constexpr std::uint32_t kClient = 11;

    explicit Server(const std::string& folder) : dir(folder) {
        std::uint32_t hash;
        EXPECT_EQ(engine.ClientAdd(kClient, "A", "", hash), 0);
        EXPECT_EQ(engine.DatabaseOpenNoAlias(kClient, dir, true, true, db), 0);
    }

    std::uint32_t Open(const std::string& table, const std::string& index = "", bool shared = true) {
        std::uint32_t c = 0;
        EXPECT_EQ(engine.OpenTable(db, table, index, 0, true, shared, 0, nullptr, c), 0) << table;
        return c;
    }

    std::vector<std::uint8_t> Rec(const TqvDataDictionary& d, std::int32_t id, const std::string& name) {
        std::vector<std::uint8_t> r(d.GetRecordLength());
        d.InitRecord(r.data());
        std::uint8_t v[4];
        PutU32(v, static_cast<std::uint32_t>(id));
        d.SetRecordField(0, r.data(), v);
        std::vector<std::uint8_t> s(d.FieldLength(1), 0);
        s[0] = static_cast<std::uint8_t>(name.size());
        std::memcpy(s.data() + 1, name.data(), name.size());
        d.SetRecordField(1, r.data(), s.data());
        return r;
    }

    // Id i gets name "N<i % names>" and, for odd i, a note "note <i>" of some length.
    void Fill(const std::string& table, int count, int names = 1000, int firstId = 1) {
        std::uint32_t c = Open(table);
        // One transaction for the lot: a commit per record would sync the files each time.
        std::uint32_t tr = 0;
        ASSERT_EQ(engine.TransactionStart(db, false, tr), 0);
        TqvDataDictionary d = PeopleDict();
        for (int i = firstId; i < firstId + count; ++i) {
            auto r = Rec(d, i, "N" + std::to_string(i % names));
            if (i % 2 == 1) {
                std::uint32_t nr = 0;
                ASSERT_EQ(engine.CreateBLOB(c, nr), 0);
                std::string note = "note " + std::to_string(i) + std::string(static_cast<std::size_t>(i % 7) * 400, '*');
                ASSERT_EQ(engine.WriteBLOB(c, nr, 0, static_cast<std::int64_t>(note.size()),
                                           reinterpret_cast<const std::uint8_t*>(note.data()), note.size()),
                          0);
                std::uint8_t v[4];
                PutU32(v, nr);
                d.SetRecordField(2, r.data(), v);
            }
            ASSERT_EQ(engine.RecordInsert(c, false, r.data(), r.size()), 0);
        }
        ASSERT_EQ(engine.TransactionCommit(tr), 0);
        ASSERT_EQ(engine.CursorClose(c), 0);
    }

    void Build(const std::string& table, int count) {
        ASSERT_EQ(engine.BuildTable(db, false, PeopleDict(), 0, table), 0);
        Fill(table, count);
    }

    // Every record in the order of `index`, as "id|name|note" lines; the
    // fields are looked up by name so that restructured tables read too.
    std::vector<std::string> Rows(const std::string& table, const std::string& index = "") {
        std::vector<std::string> out;
        std::uint32_t c = Open(table, index);
        TqvSrCursor* cur = engine.Cursors().Find(c);
        const TqvDataDictionary& d = cur->table->dictionary;
        std::vector<std::uint8_t> r(d.GetRecordLength());
        while (engine.RecordGetNext(c, false, r.data(), r.size()) == 0) {
            std::string line;
            for (std::uint32_t f = 0; f < d.FieldCount(); ++f) {
                if (f) line += "|";
                const TqvFieldDescriptor& fd = d.Field(f);
                line += fd.name + "=";
                if (d.IsRecordFieldNull(f, r.data())) {
                    line += "null";
                    continue;
                }
                const std::uint8_t* p = r.data() + fd.offset;
                if (fd.type == qvftInt32) {
                    line += std::to_string(static_cast<std::int32_t>(GetU32(p)));
                } else if (fd.type == qvftShortString) {
                    line += std::string(reinterpret_cast<const char*>(p + 1), std::min<std::size_t>(p[0], fd.length - 1));
                } else if (QvIsBlobType(fd.type)) {
                    std::vector<std::uint8_t> buf(8192);
                    std::uint32_t got = 0;
                    EXPECT_EQ(engine.ReadBLOB(c, GetU32(p), 0, 8192, buf.data(), buf.size(), got), 0);
                    line += std::string(reinterpret_cast<const char*>(buf.data()), got);
                } else {
                    line += "?";
                }
            }
            out.push_back(line);
        }
        engine.CursorClose(c);
        return out;
    }

    std::uint32_t RecCount(const std::string& table) {
        std::uint32_t c = Open(table), n = 0;
        EXPECT_EQ(engine.GetTableRecCount(c, n), 0);
        engine.CursorClose(c);
        return n;
    }

    // Polls until finished; answers the status record's result.
    std::uint32_t Wait(std::int32_t id, std::vector<std::uint8_t>* last = nullptr) {
        std::uint8_t rec[32];
        std::uint8_t found = 0;
        for (;;) {
            EXPECT_EQ(rebuilder.GetRebuildStatus(static_cast<std::uint32_t>(id), found, rec), 0);
            EXPECT_EQ(found, 1);
            if (!found) return 0xFFFFFFFFu;
            if (rec[28]) break;
            plat::Sleep(1);
        }
        if (last) last->assign(rec, rec + 32);
        return GetU32(rec + 24);
    }

    std::string dir;
    TqvServerEngine engine;
    TqvSrRebuilder rebuilder{engine};
    std::uint32_t db = 0;
};

// One field's text from a row of Server::Rows.
inline std::string Field(const std::string& row, const std::string& name) {
    const std::string tag = name + "=";
    std::size_t at = row.rfind("|" + tag) != std::string::npos ? row.rfind("|" + tag) + 1 : row.rfind(tag, 0);
    if (at == std::string::npos) return {};
    at += tag.size();
    return row.substr(at, row.find('|', at) - at);
}

inline std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

}  // namespace rbtest
