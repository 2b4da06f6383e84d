// Tags and pictures through the real command, grouped by format: a FLAC
// album as music libraries tag it, WAV with ID3 and INFO, AIFF with ID3,
// covers from the command line, and what is refused.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <taglib/aifffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>

#include <string>
#include <vector>

#include "support/audio_files.h"
#include "support/command_runner.h"

namespace x91test {
namespace {

// The header of a 3x2 RGB PNG (its pixels left out: only the header is
// read): 3 by 2 pixels, 24 bits.
std::string tiny_png() {
    return std::string(
        "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x03\0\0\0\x02\x08\x02\0\0\0\x12\x16\xf1M"
        "\0\0\0\0IEND\xae\x42\x60\x82",
        45);
}

void write_text(const std::string& path, const std::string& text) {
    write_file(path, std::vector<unsigned char>(text.begin(), text.end()));
}

void write_tone(const std::string& path, int format) {
    ASSERT_TRUE(
        write_audio(path, format | SF_FORMAT_PCM_16, 2, 44100, sine(20000, 2, 44100, 440.0, 0.3)));
}

// The album's comments, as metaflac --import-tags-from takes them: a
// multi-valued ARTIST, LYRICS over lines, text beyond ASCII, a custom name,
// MusicBrainz ids and ReplayGain values in their usual text.
const char* const kAlbumTags =
    "TITLE=Ünïcode ♪ title\nARTIST=First Artist\nARTIST=Second Artist\nALBUM=The Album\n"
    "ALBUMARTIST=Various\nTRACKNUMBER=2\nTRACKTOTAL=3\nDISCNUMBER=1\nDISCTOTAL=2\n"
    "DATE=2021-05-01\nGENRE=Jazz\nCOMPOSER=Сергей\nISRC=USRC17607839\nCOMMENT=a comment\n"
    "MY_OWN_NAME=kept as it is\nMUSICBRAINZ_ALBUMID=3d1f3a27-5b0a-4ea8-9e7e-0d0e8e7c5a11\n"
    "MUSICBRAINZ_ARTISTID=1b7c4a1e-8f0a-4d11-9a3c-1a2b3c4d5e6f\n"
    "MUSICBRAINZ_TRACKID=9e0c1d2e-3f4a-5b6c-7d8e-9f0a1b2c3d4e\n"
    "MUSICBRAINZ_RELEASEGROUPID=aa11bb22-cc33-dd44-ee55-ff6677889900\n"
    "REPLAYGAIN_TRACK_GAIN=+7.08 dB\nREPLAYGAIN_TRACK_PEAK=0.988553\n"
    "REPLAYGAIN_ALBUM_GAIN=-6.52 dB\nREPLAYGAIN_ALBUM_PEAK=1.000000\nLABEL=A Label\n";

// The comments metaflac exports, names in upper case, a value's further
// lines joined to its first by "\n", sorted: TagLib keeps the comments
// grouped by name.
const char* const kSortedExport =
    "for f in \"$@\"; do metaflac --export-tags-to=- \"$f\" | awk '"
    "/^[A-Za-z_]+=/ {if (t != \"\") print t; i = index($0, \"=\"); "
    "t = toupper(substr($0, 1, i - 1)) substr($0, i); next} {t = t \"\\\\n\" $0} "
    "END {print t}' | LC_ALL=C sort; done";

TEST(TagsTest, FlacAlbumKeepsEveryCommentAndTheCoverThroughX91) {
    ScratchDir dir;
    write_text(dir.file("tags.txt"), kAlbumTags);
    write_text(dir.file("cover.png"), tiny_png());
    for (const char* name : {"1.flac", "2.flac", "3.flac"})
        write_tone(dir.file(name), SF_FORMAT_FLAC);
    const RunResult made = run_shell(
        dir.path(),
        "for f in 1 2 3; do metaflac --remove-all-tags --import-tags-from=tags.txt "
        "--set-tag=\"LYRICS=$(printf 'first line\\nsecond line')\" --import-picture-from=cover.png "
        "$f.flac || exit 9; done && \"$X91\" --quiet *.flac && "
        "for f in 1 2 3; do \"$X91\" --quiet -o back$f.flac $f.x91 || exit 8; done");
    ASSERT_EQ(made.status, 0) << made.err;
    for (const char* n : {"1", "2", "3"}) {
        SCOPED_TRACE(n);
        const std::string in = std::string(n) + ".flac", back = std::string("back") + n + ".flac";
        const std::string script = std::string("export() { ") + kSortedExport + "; }; ";
        const RunResult before = run_shell(dir.path(), script + "export " + in);
        const RunResult after = run_shell(dir.path(), script + "export " + back);
        EXPECT_NE(before.out.find("LYRICS=first line\\nsecond line\n"), std::string::npos)
            << before.out;
        EXPECT_EQ(after.out, before.out);
        const RunResult pictures = run_shell(
            dir.path(), "metaflac --export-picture-to=a.pic " + in + " && metaflac " +
                            "--export-picture-to=b.pic " + back + " && cmp a.pic b.pic && " +
                            "metaflac --list --block-type=PICTURE " + back +
                            " | grep -E 'Cover|MIME|width|height|depth'");
        EXPECT_EQ(pictures.status, 0) << pictures.err;
        EXPECT_EQ(pictures.out,
                  "  type: 3 (Cover (front))\n  MIME type: image/png\n  width: 3\n  height: 2\n"
                  "  depth: 24\n");
    }
}

// An ID3 tag as TagLib makes it: the names through their frames (TRCK,
// TPE1, USLT, TXXX, ...), several values of one name, and a cover.
void tag_id3(TagLib::ID3v2::Tag& tag) {
    TagLib::PropertyMap map;
    map["TITLE"].append(TagLib::String("Ünïcode ♪", TagLib::String::UTF8));
    map["ARTIST"].append("First");
    map["ARTIST"].append("Second");
    map["TRACKNUMBER"].append("3/12");
    map["ALBUMARTIST"].append("Various");
    map["LYRICS"].append("one\ntwo");
    map["REPLAYGAIN_TRACK_GAIN"].append("+7.08 dB");
    map["MY_OWN_NAME"].append("kept");
    tag.setProperties(map);
    auto* apic = new TagLib::ID3v2::AttachedPictureFrame;
    apic->setMimeType("image/png");
    apic->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
    const std::string png = tiny_png();
    apic->setPicture(TagLib::ByteVector(png.data(), 45));
    tag.addFrame(apic);
}

std::string id3_text(const TagLib::ID3v2::Tag& tag) {
    std::string text = tag.properties().toString().to8Bit(true);
    for (auto* frame : tag.frameList("APIC")) {
        const auto* apic = static_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame);
        text += "APIC " + apic->mimeType().to8Bit() + " " + std::to_string(apic->type()) + " " +
                std::to_string(apic->picture().size()) + "\n";
    }
    return text;
}

TEST(TagsTest, WavAndAiffKeepTheirId3TagsAndCover) {
    struct Case {
        const char* in;
        int format;
    };
    for (const Case& c : {Case{"in.wav", SF_FORMAT_WAV}, Case{"in.aiff", SF_FORMAT_AIFF}}) {
        SCOPED_TRACE(c.in);
        ScratchDir dir;
        write_tone(dir.file(c.in), c.format);
        std::string before, after;
        const std::string back = std::string("back") + (c.in + 2);
        if (c.format == SF_FORMAT_WAV) {
            TagLib::RIFF::WAV::File file(dir.file(c.in).c_str());
            tag_id3(*file.ID3v2Tag());
            file.InfoTag()->setFieldText("ICOP", "(c) someone");  // a name only INFO has here
            ASSERT_TRUE(file.save());
            before = id3_text(*file.ID3v2Tag());
        } else {
            TagLib::RIFF::AIFF::File file(dir.file(c.in).c_str());
            tag_id3(*file.tag());
            ASSERT_TRUE(file.save());
            before = id3_text(*file.tag());
        }
        ASSERT_EQ(run_x91(dir.path(), {"--quiet", "-o", "a.x91", c.in}).status, 0);
        ASSERT_EQ(run_x91(dir.path(), {"--quiet", "-o", back, "a.x91"}).status, 0);
        if (c.format == SF_FORMAT_WAV) {
            TagLib::RIFF::WAV::File file(dir.file(back).c_str());
            after = id3_text(*file.ID3v2Tag());
            // Single-valued names INFO has go there, the rest to ID3.
            EXPECT_EQ(file.InfoTag()->fieldText("ICOP").to8Bit(true), "(c) someone");
            EXPECT_EQ(file.InfoTag()->fieldText("INAM").to8Bit(true), "Ünïcode ♪");
            EXPECT_EQ(file.InfoTag()->fieldText("ITRK").to8Bit(true), "3/12");
            EXPECT_EQ(after,
                      "ALBUMARTIST=Various\nARTIST=First, Second\nLYRICS=one\ntwo\n"
                      "MY_OWN_NAME=kept\nREPLAYGAIN_TRACK_GAIN=+7.08 dB\nUnsupported Data: "
                      "APIC\nAPIC image/png 3 45\n");
        } else {
            TagLib::RIFF::AIFF::File file(dir.file(back).c_str());
            after = id3_text(*file.tag());
            EXPECT_EQ(after, before);
        }
        EXPECT_NE(before.find("APIC image/png 3 45"), std::string::npos) << before;
    }
}

TEST(TagsTest, WavInfoTrackAsFfmpegWritesItComesThrough) {
    ScratchDir dir;
    write_tone(dir.file("in.wav"), SF_FORMAT_WAV);
    {
        TagLib::RIFF::WAV::File file(dir.file("in.wav").c_str());
        file.InfoTag()->setFieldText("IPRT", "4");
        file.InfoTag()->setFieldText("INAM", "Song");
        ASSERT_TRUE(file.save(TagLib::RIFF::WAV::File::Info));
    }
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "in.wav"}).status, 0);
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "-o", "back.flac", "in.x91"}).status, 0);
    const RunResult tags = run_shell(dir.path(), "metaflac --export-tags-to=- back.flac");
    EXPECT_EQ(tags.out, "TITLE=Song\nTRACKNUMBER=4\n");
}

TEST(TagsTest, PictureOptionStoresAFrontCoverOrWarnsWhenItDoesNotFit) {
    ScratchDir dir;
    write_tone(dir.file("in.flac"), SF_FORMAT_FLAC);
    write_text(dir.file("cover.png"), tiny_png());
    // 17 MiB of JPEG-looking bytes: more than any block holds.
    write_text(dir.file("huge.jpg"), "\xFF\xD8\xFF" + std::string(17 << 20, 'j'));
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "--picture", "cover.png", "in.flac"}).status, 0);
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "-o", "back.flac", "in.x91"}).status, 0);
    const RunResult listed = run_shell(
        dir.path(), "metaflac --list --block-type=PICTURE back.flac | grep -E 'Cover|MIME|width'");
    EXPECT_EQ(listed.out, "  type: 3 (Cover (front))\n  MIME type: image/png\n  width: 3\n");

    const RunResult huge =
        run_x91(dir.path(), {"--quiet", "--picture", "huge.jpg", "-o", "h.x91", "in.flac"});
    EXPECT_EQ(huge.status, 0);
    EXPECT_NE(huge.err.find("warning: 1 picture(s) left out"), std::string::npos) << huge.err;
    EXPECT_EQ(run_x91(dir.path(), {"-t", "h.x91"}).out, "h.x91: ok\n");
}

TEST(TagsTest, WhatCannotActIsRefused) {
    ScratchDir dir;
    write_tone(dir.file("in.flac"), SF_FORMAT_FLAC);
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "in.flac"}).status, 0);
    const struct {
        std::vector<std::string> args;
        const char* err;
    } cases[] = {
        {{"--tag", "A=b", "in.x91"},
         "x91: in.x91: tags and pictures are given for encodes; a decode writes the file's own\n"},
        {{"-o", "out.x91", "in.x91"},
         "x91: in.x91: will not decode to out.x91: that names x91 data\n"},
        {{"--picture", "none.png", "in.flac"},
         "x91: cannot read picture none.png: No such file or directory\n"},
    };
    for (const auto& c : cases) {
        const RunResult r = run_x91(dir.path(), c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, c.err);
    }
    EXPECT_FALSE(file_exists(dir.file("out.x91")));
}

}  // namespace
}  // namespace x91test

namespace x91test {
namespace {

std::vector<unsigned char> head_bytes(const std::string& path, std::size_t n) {
    std::vector<unsigned char> bytes = read_file(path);
    bytes.resize(std::min(n, bytes.size()));
    return bytes;
}

// Each edit keeps the bytes before the block, and the file passes -t; a
// file of the plain layout gets a block and decodes as before.
TEST(TagToolTest, EditsRewriteOnlyTheBlock) {
    ScratchDir dir;
    write_tone(dir.file("in.flac"), SF_FORMAT_FLAC);
    write_text(dir.file("cover.png"), tiny_png());
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "--tag", "ARTIST=a", "--tag", "ARTIST=b", "--tag",
                                   "TITLE=t", "-o", "a.x91", "in.flac"})
                  .status,
              0);
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "--plain", "-o", "p.x91", "in.flac"}).status, 0);
    const std::size_t packets = read_file(dir.file("p.x91")).size();
    const struct {
        std::vector<std::string> args;
        const char* tags;  // the tags and pictures --list shows after the edit
    } cases[] = {
        {{"--set-tag", "title=New"}, "ARTIST=a\nARTIST=b\nTITLE=New\n"},
        {{"--remove-tag", "artist", "--import-picture", "cover.png"},
         "TITLE=New\npicture: type 3, image/png, 3x2, 45 bytes\n"},
        {{"--remove-all-tags", "--set-tag", "X=1"},
         "X=1\npicture: type 3, image/png, 3x2, 45 bytes\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front());
        std::vector<std::string> args = c.args;
        args.push_back("a.x91");
        const RunResult edit = run_x91(dir.path(), args);
        EXPECT_EQ(edit.status, 0) << edit.err;
        EXPECT_EQ(head_bytes(dir.file("a.x91"), packets), read_file(dir.file("p.x91")));
        const RunResult listed = run_x91(dir.path(), {"--list", "a.x91"});
        EXPECT_NE(listed.out.find("encoder settings: quality 100.0 %\nintegrity: ok\n" +
                                  std::string(c.tags)),
                  std::string::npos)
            << listed.out;
    }
    EXPECT_EQ(run_x91(dir.path(), {"--export-picture", "out.png", "a.x91"}).status, 0);
    EXPECT_EQ(read_file(dir.file("out.png")), read_file(dir.file("cover.png")));

    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "--raw", "-o", "before.wav", "p.x91"}).status, 0);
    ASSERT_EQ(run_x91(dir.path(), {"--set-tag", "A=b", "p.x91"}).status, 0);
    EXPECT_EQ(run_x91(dir.path(), {"-t", "p.x91"}).out, "p.x91: ok\n");
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "--raw", "-o", "raw.wav", "p.x91"}).status, 0);
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "-o", "exact.wav", "p.x91"}).status, 0);
    EXPECT_EQ(read_audio(dir.file("exact.wav")).samples, read_audio(dir.file("raw.wav")).samples);
    EXPECT_EQ(read_audio(dir.file("exact.wav")).samples,
              read_audio(dir.file("before.wav")).samples);
}

// A change that cannot be made, or a file that cannot be replaced, leaves
// the old file as it was and nothing beside it.
TEST(TagToolTest, AFailureLeavesTheOldFile) {
    ScratchDir dir;
    write_tone(dir.file("in.flac"), SF_FORMAT_FLAC);
    write_text(dir.file("huge.jpg"), "\xFF\xD8\xFF" + std::string(17 << 20, 'j'));
    // A tag of 4000 bytes makes the file larger than the 2 KiB let through.
    ASSERT_EQ(
        run_x91(dir.path(),
                {"--quiet", "--tag", "PAD=" + std::string(4000, 'p'), "-o", "sub/a.x91", "in.flac"},
                "mkdir sub; ")
            .status,
        0);
    const std::vector<unsigned char> before = read_file(dir.file("sub/a.x91"));
    ASSERT_GT(before.size(), 2048u);
    const struct {
        std::string prefix;
        std::vector<std::string> args;
        const char* err;
    } cases[] = {
        {"",
         {"--import-picture", "huge.jpg", "sub/a.x91"},
         "x91: sub/a.x91: the picture does not fit the extension block's 16 MiB\n"},
        {"ulimit -f 2; ", {"--set-tag", "A=b", "sub/a.x91"}, nullptr},  // a full disk
        {"", {"--set-tag", "A=b", "in.flac"}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front());
        const RunResult r = run_x91(dir.path(), c.args, c.prefix);
        EXPECT_EQ(r.status, 1);
        if (c.err) {
            EXPECT_EQ(r.err, c.err);
        }
        EXPECT_EQ(read_file(dir.file("sub/a.x91")), before);
        EXPECT_EQ(list_dir(dir.file("sub")).size(), 1u);
    }
}

}  // namespace
}  // namespace x91test

namespace x91test {
namespace {

double tag_number(const std::string& listing, const std::string& name) {
    const std::size_t at = listing.find("\n" + name + "=");
    return at == std::string::npos ? -1000 : std::stod(listing.substr(at + name.size() + 2));
}

// A 1 kHz sine at -20 dBFS in both channels measures about -20 LUFS, a
// gain of +2 dB; one at -30 dBFS +12 dB; the album of both lies between,
// nearer the louder. Values in the usual text.
TEST(ReplayGainTest, TrackAndAlbumValuesOfTheDecodedAudio) {
    ScratchDir dir;
    ASSERT_TRUE(write_audio(dir.file("loud.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100,
                            sine(132300, 2, 44100, 1000.0, 0.1)));
    ASSERT_TRUE(write_audio(dir.file("soft.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100,
                            sine(132300, 2, 44100, 1000.0, 0.0316)));
    const RunResult r = run_x91(dir.path(), {"--quiet", "--replay-gain", "loud.wav", "soft.wav"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string loud = run_x91(dir.path(), {"--list", "loud.x91"}).out;
    const std::string soft = run_x91(dir.path(), {"--list", "soft.x91"}).out;
    EXPECT_NEAR(tag_number(loud, "REPLAYGAIN_TRACK_GAIN"), 2.0, 0.3) << loud;
    EXPECT_NEAR(tag_number(soft, "REPLAYGAIN_TRACK_GAIN"), 12.0, 0.3) << soft;
    EXPECT_NEAR(tag_number(loud, "REPLAYGAIN_TRACK_PEAK"), 0.1, 0.02);  // a lossy overshoot
    const double album = tag_number(loud, "REPLAYGAIN_ALBUM_GAIN");
    EXPECT_GT(album, 2.0);
    EXPECT_LT(album, 7.0);
    EXPECT_EQ(album, tag_number(soft, "REPLAYGAIN_ALBUM_GAIN"));
    EXPECT_NE(soft.find("REPLAYGAIN_TRACK_GAIN=+1"), std::string::npos);
    EXPECT_NE(loud.find("REPLAYGAIN_ALBUM_PEAK=0."), std::string::npos);
    EXPECT_NE(loud.find(" dB\n"), std::string::npos);

    EXPECT_EQ(run_x91(dir.path(), {"--replay-gain", "-o", "-", "loud.wav"}).status, 1);
}

}  // namespace
}  // namespace x91test
