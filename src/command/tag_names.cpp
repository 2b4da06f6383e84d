#include "command/tag_names.h"

#include <sndfile.h>

#include <algorithm>

#include "command/codec_handles.h"
#include "x91/x91.h"

namespace x91::cli {

namespace {

// Each tag name, the INFO id of WAV files (null where WAV has none) and
// libsndfile's string id. SOFTWARE is left out: it names the tool that
// wrote the input, which an x91 file was not written by.
struct KnownTag {
    const char* name;
    const char* info_id;
    int sndfile_id;
};

constexpr KnownTag kKnownTags[] = {
    {"TITLE", "INAM", SF_STR_TITLE},      {"ARTIST", "IART", SF_STR_ARTIST},
    {"ALBUM", "IPRD", SF_STR_ALBUM},      {"TRACKNUMBER", "ITRK", SF_STR_TRACKNUMBER},
    {"DATE", "ICRD", SF_STR_DATE},        {"GENRE", "IGNR", SF_STR_GENRE},
    {"COMMENT", "ICMT", SF_STR_COMMENT},  {"COPYRIGHT", "ICOP", SF_STR_COPYRIGHT},
    {"LICENSE", nullptr, SF_STR_LICENSE},
};

bool same_name(const std::string& a, const std::string& b) {
    return canonical_tag_name(a) == canonical_tag_name(b);
}

}  // namespace

std::vector<Tag> merge_tags(const std::vector<Tag>& input, const std::vector<Tag>& given) {
    std::vector<Tag> merged;
    for (const Tag& tag : input) {
        const bool replaced = std::any_of(
            given.begin(), given.end(), [&](const Tag& g) { return same_name(g.name, tag.name); });
        if (!replaced) merged.push_back(tag);
    }
    merged.insert(merged.end(), given.begin(), given.end());
    return merged;
}

Result tags_for_block(const std::vector<Tag>& input, const std::vector<Tag>& given,
                      std::vector<Tag>& fitting, std::size_t& left_out) {
    std::vector<Tag> merged = merge_tags(input, given);
    const std::size_t from_input = merged.size() - given.size();
    // An encoder that never encodes measures the room: it refuses a tag the
    // block cannot hold beside those it took before.
    x91_encoder* made = nullptr;
    if (const x91_status s = x91_encoder_create(&made); s != X91_OK)
        return from_library(s, x91_thread_last_error());
    const EncoderHandle probe(made);
    std::vector<bool> kept(merged.size(), false);
    auto keep_if_it_fits = [&](std::size_t i) {
        const Tag& tag = merged[i];
        const x91_status s = x91_encoder_add_tag(made, tag.name.c_str(), tag.value.c_str());
        kept[i] = s == X91_OK;
        const bool no_room = s == X91_ERR_INVALID_ARGUMENT &&
                             x91_tag_check(tag.name.c_str(), tag.value.c_str()) == X91_OK;
        return kept[i] || no_room ? Result{} : from_library(s, x91_encoder_last_error(made));
    };
    for (std::size_t i = from_input; i < merged.size(); ++i)
        if (Result r = keep_if_it_fits(i); !r) return r;
    for (std::size_t i = 0; i < from_input; ++i)
        if (Result r = keep_if_it_fits(i); !r) return r;
    fitting.clear();
    for (std::size_t i = 0; i < merged.size(); ++i)
        if (kept[i]) fitting.push_back(std::move(merged[i]));
    left_out = merged.size() - fitting.size();
    return {};
}

std::string canonical_tag_name(const std::string& name) {
    std::string upper = name;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

// A text is UTF-8 when the library takes it as a tag's value (a C string:
// an INFO text ends at its first zero byte anyway).
std::string utf8_from_text(const std::string& text) {
    if (text.find('\0') == std::string::npos && x91_tag_check("TEXT", text.c_str()) == X91_OK)
        return text;
    std::string utf8;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | byte >> 6);
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

std::vector<Tag> tags_from_info(const std::vector<InfoText>& info) {
    std::vector<Tag> tags;
    for (const InfoText& text : info) {
        for (const KnownTag& known : kKnownTags) {
            if (known.info_id != nullptr && text.id == Id4(known.info_id) && !text.text.empty())
                tags.push_back({known.name, utf8_from_text(text.text)});
        }
    }
    return tags;
}

std::string joined_value(const std::vector<Tag>& tags, const std::string& name) {
    std::string value;
    for (const Tag& tag : tags) {
        if (!same_name(tag.name, name)) continue;
        if (!value.empty()) value += "; ";
        value += tag.value;
    }
    return value;
}

std::vector<InfoText> info_from_tags(const std::vector<Tag>& tags) {
    std::vector<InfoText> info;
    for (const KnownTag& known : kKnownTags) {
        if (known.info_id == nullptr) continue;
        std::string value = joined_value(tags, known.name);
        if (!value.empty()) info.push_back({Id4(known.info_id), std::move(value)});
    }
    return info;
}

std::vector<SndfileString> sndfile_strings() {
    std::vector<SndfileString> strings;
    for (const KnownTag& known : kKnownTags) strings.push_back({known.sndfile_id, known.name});
    return strings;
}

}  // namespace x91::cli
