#include "format/settings_io.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

#include "storage/memory_stream.h"

namespace x91 {

namespace {

using Bytes = std::vector<std::uint8_t>;

// The header every default encode starts with.
const Bytes kDefaultHeader = {
    0x78, 0x39, 0x31, 0x00, 0x00, 0x00,                          // "x91", code features
    0x20, 0x03, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x20, 0x00,  // 800, 32, 32
    0x00, 0x00, 0x64, 0x00, 0x00, 0x00, 0x0C, 0x00, 0x00, 0x00,  // 100, 12
    0x20, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00,              // 32, 16
    0xCD, 0xCC, 0x4C, 0x3E, 0xCD, 0xCC, 0x4C, 0x3E,              // 0.2, 0.2
    0x9A, 0x99, 0x19, 0x3E, 0x00, 0x00, 0x00, 0x00,              // 0.15, 0
    0x66, 0x66, 0x66, 0x3F, 0x66, 0x66, 0x66, 0x3F,              // 0.9, 0.9
    0xCD, 0xCC, 0x8C, 0x3F,                                      // 1.1
};

const da_CodeFeatures kNoFeatures = {{0, 0, 0}};

TEST(SettingsIoTest, DefaultHeaderBytes) {
    MemoryStream m;
    EXPECT_TRUE(write_x91_header(m, {kNoFeatures, ds, is}));
    EXPECT_EQ(m.bytes(), kDefaultHeader);
    ASSERT_EQ(kDefaultHeader.size(), static_cast<std::size_t>(X91_HEADER_BYTES));
}

TEST(SettingsIoTest, OperatorsWriteTheSameImageAsTheHeader) {
    MemoryStream m;
    m.write("x91", 3);
    m << kNoFeatures << ds << is << 0x01020304;
    Bytes expected = kDefaultHeader;
    for (std::uint8_t b : {0x04, 0x03, 0x02, 0x01}) expected.push_back(b);
    EXPECT_EQ(m.bytes(), expected);
}

TEST(SettingsIoTest, RoundTripThroughTheOperators) {
    const da_DSettings d = {{882}, {7, 3, 600}, {881, 1024}, {256}};
    const da_ISettings i = {
        {1.5f, 0.25f, 1.0f, -3.0f, std::numeric_limits<float>::quiet_NaN(), 7.0f}, {1000.0f}};
    const da_CodeFeatures f = {{1, 2, 255}};
    MemoryStream m;
    m << f << d << i << -7;
    m.seek(0);
    da_CodeFeatures f2{};
    da_DSettings d2{};
    da_ISettings i2{};
    int n = 0;
    m >> f2 >> d2 >> i2 >> n;
    EXPECT_FALSE(m.failed());
    EXPECT_EQ(std::memcmp(&f, &f2, sizeof f), 0);
    EXPECT_EQ(std::memcmp(&d, &d2, sizeof d), 0);
    EXPECT_EQ(std::memcmp(&i, &i2, sizeof i), 0);
    EXPECT_EQ(n, -7);
}

TEST(SettingsIoTest, ShortReadLeavesUnreachedBytesAsTheyWere) {
    MemoryStream m(Bytes{0xAA, 0xBB});
    int n = 0x11223344;
    m >> n;
    EXPECT_TRUE(m.failed());
    EXPECT_EQ(n, 0x1122BBAA);

    MemoryStream settings(Bytes{0x40, 0x01, 0x00, 0x00, 0x05});
    da_DSettings d = ds;
    settings >> d;
    EXPECT_EQ(d.global.lines, 320);
    EXPECT_EQ(d.intensity.bands, 5);  // low byte replaced, the rest kept (32 = 0x20)
    EXPECT_EQ(d.intensity.steps, ds.intensity.steps);
    EXPECT_EQ(d.group.frames, ds.group.frames);
}

// What read_x91_header gives for a stream.
struct HeaderRead {
    Result result;
    std::optional<CheckedSettings> settings;
};

HeaderRead read_header(InputStream& in) {
    HeaderRead r;
    r.result = read_x91_header(in, r.settings);
    return r;
}

HeaderRead read_header(const Bytes& bytes) {
    MemoryStream m(bytes);
    return read_header(m);
}

TEST(X91HeaderTest, DefaultHeaderIsAcceptedAndLeavesThePositionAtTheFirstCount) {
    Bytes file = kDefaultHeader;
    for (int k = 0; k < 4; ++k) file.push_back(0);
    MemoryStream m(file);
    const HeaderRead r = read_header(m);
    EXPECT_TRUE(r.result.ok());
    EXPECT_EQ(r.result.message, "");
    EXPECT_EQ(m.possition(), X91_HEADER_BYTES);
    ASSERT_TRUE(r.settings);
    EXPECT_EQ(std::memcmp(&r.settings->dsettings(), &ds, sizeof ds), 0);
    EXPECT_EQ(std::memcmp(&r.settings->isettings(), &is, sizeof is), 0);
    const da_CodeFeatures& f = r.settings->features();
    EXPECT_EQ(f.reserved[0] | f.reserved[1] | f.reserved[2], 0);
}

TEST(X91HeaderTest, FilesWithoutTheIdentifier) {
    for (const Bytes& b : {Bytes{}, Bytes{'x'}, Bytes{'x', '9'}, Bytes{'x', '9', '2'},
                           Bytes{'X', '9', '1', 0, 0, 0}, Bytes{'R', 'I', 'F', 'F'}}) {
        const HeaderRead r = read_header(b);
        EXPECT_EQ(r.result.status, Status::not_x91);
        EXPECT_EQ(r.result.message, "not an x91 file");
        EXPECT_FALSE(r.settings);
    }
}

TEST(X91HeaderTest, HeaderCutShortAtEveryLength) {
    for (std::size_t len = 3; len < kDefaultHeader.size(); ++len) {
        SCOPED_TRACE("length " + std::to_string(len));
        const HeaderRead r = read_header(
            Bytes(kDefaultHeader.begin(), kDefaultHeader.begin() + static_cast<long>(len)));
        EXPECT_EQ(r.result.status, Status::cut_short);
        EXPECT_EQ(r.result.message, "x91 header cut short");
        EXPECT_FALSE(r.settings) << "a refused header gives no settings";
    }
}

// Each bound, just inside (accepted) and just outside (refused with the
// field's name and value).
struct Bound {
    const char* name;
    void (*set)(da_DSettings&, da_ISettings&, float);
    float inside;
    float outside;
    const char* problem;
};

const Bound kBounds[] = {
    {"lines low", [](da_DSettings& d, da_ISettings&, float v) { d.global.lines = int(v); }, 56, 55,
     "line count 55"},
    {"lines high", [](da_DSettings& d, da_ISettings&, float v) { d.global.lines = int(v); }, 1764,
     1765, "line count 1765"},
    {"ibands low", [](da_DSettings& d, da_ISettings&, float v) { d.intensity.bands = int(v); }, 1,
     0, "intensity band count 0"},
    {"ibands high", [](da_DSettings& d, da_ISettings&, float v) { d.intensity.bands = int(v); },
     799, 800, "intensity band count 800"},
    {"steps low", [](da_DSettings& d, da_ISettings&, float v) { d.intensity.steps = int(v); }, 2, 1,
     "intensity step count 1"},
    {"steps high", [](da_DSettings& d, da_ISettings&, float v) { d.intensity.steps = int(v); },
     1024, 1025, "intensity step count 1025"},
    {"range low", [](da_DSettings& d, da_ISettings&, float v) { d.intensity.range = int(v); }, 1, 0,
     "level range 0"},
    {"range high", [](da_DSettings& d, da_ISettings&, float v) { d.intensity.range = int(v); }, 600,
     601, "level range 601"},
    {"sbands low", [](da_DSettings& d, da_ISettings&, float v) { d.side_stereo.bands = int(v); }, 1,
     0, "side-stereo band count 0"},
    {"sbands high", [](da_DSettings& d, da_ISettings&, float v) { d.side_stereo.bands = int(v); },
     799, 800, "side-stereo band count 800"},
    {"levels low", [](da_DSettings& d, da_ISettings&, float v) { d.side_stereo.levels = int(v); },
     2, 1, "side-stereo level count 1"},
    {"levels high", [](da_DSettings& d, da_ISettings&, float v) { d.side_stereo.levels = int(v); },
     1024, 1025, "side-stereo level count 1025"},
    {"frames low", [](da_DSettings& d, da_ISettings&, float v) { d.group.frames = int(v); }, 1, 0,
     "frames per packet 0"},
    {"frames high", [](da_DSettings& d, da_ISettings&, float v) { d.group.frames = int(v); }, 256,
     257, "frames per packet 257"},
    {"scale", [](da_DSettings&, da_ISettings& i, float v) { i.masking.level_scale = v; }, 1e-30f,
     0.0f, "masking level scale 0"},
    {"scale inf", [](da_DSettings&, da_ISettings& i, float v) { i.masking.level_scale = v; }, 1e30f,
     INFINITY, "masking level scale inf"},
    {"down low", [](da_DSettings&, da_ISettings& i, float v) { i.masking.downward_base = v; },
     1e-30f, -0.5f, "downward base -0.5"},
    {"down high", [](da_DSettings&, da_ISettings& i, float v) { i.masking.downward_base = v; },
     1.0f, 1.0000001f, "downward base 1.0000001"},
    {"up low", [](da_DSettings&, da_ISettings& i, float v) { i.masking.upward_base = v; }, 1e-30f,
     0.0f, "upward base 0"},
    {"up nan", [](da_DSettings&, da_ISettings& i, float v) { i.masking.upward_base = v; }, 1.0f,
     NAN, "upward base nan"},
    {"base low", [](da_DSettings&, da_ISettings& i, float v) { i.quantize.base = v; }, 1.0000001f,
     1.0f, "quantiser base 1"},
    {"base high", [](da_DSettings&, da_ISettings& i, float v) { i.quantize.base = v; }, 1000.0f,
     1000.0001f, "quantiser base 1000.0001"},
};

Bytes header_with(const Bound& b, float value) {
    da_DSettings d = ds;
    da_ISettings i = is;
    b.set(d, i, value);
    MemoryStream m;
    EXPECT_TRUE(write_x91_header(m, {kNoFeatures, d, i}));
    return m.bytes();
}

TEST(X91HeaderTest, EachBoundJustInsideAndJustOutside) {
    for (const Bound& b : kBounds) {
        SCOPED_TRACE(b.name);
        EXPECT_TRUE(read_header(header_with(b, b.inside)).result.ok());
        const HeaderRead r = read_header(header_with(b, b.outside));
        EXPECT_EQ(r.result.status, Status::header_damaged);
        EXPECT_EQ(r.result.message, std::string("x91 header damaged: ") + b.problem);
        EXPECT_FALSE(r.settings);
    }
}

TEST(X91HeaderTest, ReservedValuesAndCodeFeaturesAreNotChecked) {
    da_ISettings i = is;
    i.masking.reserved4 = NAN;
    i.masking.reserved5 = -INFINITY;
    i.masking.reserved6 = 1e38f;
    MemoryStream m;
    ASSERT_TRUE(write_x91_header(m, {da_CodeFeatures{{0xFF, 0x80, 0x01}}, ds, i}));
    m.seek(0);
    const HeaderRead r = read_header(m);
    ASSERT_TRUE(r.result.ok());
    EXPECT_EQ(r.settings->features().reserved[0], 0xFF);
    EXPECT_TRUE(std::isnan(r.settings->isettings().masking.reserved4));
}

}  // namespace

}  // namespace x91
