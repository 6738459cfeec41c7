// The database API stands on its own: this file includes nothing of the
// engine but dbi_api.h, so it compiles only while that header and those it
// pulls in need none of the engine's insides. What it checks runs without
// an engine: the records, BCD values and the per-thread message setting.
#include "engine/api/dbi_api.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

namespace {

TEST(DbiApiAlone, BcdValuesRoundTripThroughTheEntryPointAndTheReader) {
    const double values[] = {0.0, 1.0, -1.0, 12345.6789, -0.0001, 99999999.99, 0.0015, 3.5e40};
    for (double v : values) {
        SCOPED_TRACE(v);
        std::uint8_t bcd[qv::kFmtBcdSize] = {};
        ASSERT_EQ(qv::DbiBcdFromFloat(v, 32, 4, bcd), 0);
        double back = -123.0;
        ASSERT_EQ(qv::BcdToDouble(bcd, back), 0);
        EXPECT_NEAR(back, v, std::fabs(v) * 1e-15);
    }
    // A damaged record (a digit nibble above 9) never reads as a number.
    std::uint8_t bcd[qv::kFmtBcdSize] = {};
    ASSERT_EQ(qv::DbiBcdFromFloat(42.0, 32, 4, bcd), 0);
    bcd[5] = 0xA0;
    double back = 0;
    EXPECT_EQ(qv::BcdToDouble(bcd, back), qv::kDbiErrInvalidParam);
    // Not-a-number has no BCD form.
    EXPECT_EQ(qv::DbiBcdFromFloat(std::nan(""), 32, 4, bcd), qv::kDbiErrInvalidParam);
}

TEST(DbiApiAlone, FieldDescriptorsAndCursorPropertiesKeepTheirLayout) {
    qv::FLDDesc f;
    f.fieldNumber = 3;
    f.name = "Amount";
    f.fieldType = qv::fldBCD;
    f.units1 = 32;
    f.units2 = 4;
    f.length = 34;
    std::vector<std::uint8_t> rec(qv::FLDDesc::kSize, 0xEE);
    f.Write(rec.data());
    // Type u16 at +34, units 2 at +40, little-endian; the name is zero-padded.
    EXPECT_EQ(rec[34], qv::fldBCD);
    EXPECT_EQ(rec[35], 0);
    EXPECT_EQ(rec[40], 4);
    EXPECT_EQ(rec[2 + 6], 0);
    const qv::FLDDesc back = qv::FLDDesc::Read(rec.data());
    EXPECT_EQ(back.name, "Amount");
    EXPECT_EQ(back.fieldType, qv::fldBCD);
    EXPECT_EQ(back.units2, 4);

    qv::CURProps p;
    p.fields = 7;
    p.recordBufferSize = 0x1234;
    p.bookmarkSize = 12;
    std::vector<std::uint8_t> props(qv::CURProps::kSize, 0xEE);
    p.Write(props.data());
    EXPECT_EQ(props[299], 0x34);
    EXPECT_EQ(props[300], 0x12);
    const qv::CURProps q = qv::CURProps::Read(props.data());
    EXPECT_EQ(q.fields, 7);
    EXPECT_EQ(q.recordBufferSize, 0x1234);
    EXPECT_EQ(q.bookmarkSize, 12);

    qv::CRTblDesc desc;
    desc.tableName = "Alone";
    desc.fieldCount = 1;
    desc.fieldDescs = rec.data();
    // Without an engine the call is refused, not run.
    EXPECT_EQ(qv::DbiCreateTable(qv::kNilHandle, true, desc), qv::kDbiErrInvalidSesHandle);
}

TEST(DbiApiAlone, QuietMessagesHoldForTheCallingThreadOnly) {
    bool was = false;
    ASSERT_EQ(qv::DbiSetShowMessages(true, &was), 0);
    EXPECT_TRUE(was);  // shown by default
    {
        qv::DbiQuietMessages quiet;
        ASSERT_EQ(qv::DbiSetShowMessages(false, &was), 0);
        EXPECT_FALSE(was);
        bool otherThread = false;
        std::thread([&] { qv::DbiSetShowMessages(true, &otherThread); }).join();
        EXPECT_TRUE(otherThread);
        {
            qv::DbiQuietMessages nested;
        }
        // The inner scope gives back the setting it found, not "shown".
        qv::DbiSetShowMessages(false, &was);
        EXPECT_FALSE(was);
    }
    qv::DbiSetShowMessages(true, &was);
    EXPECT_TRUE(was);
}

}  // namespace
