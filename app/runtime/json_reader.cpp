#include "runtime/json_reader.h"

#include <algorithm>
#include <exception>
#include <utility>
#include <vector>

namespace nocturnia::runtime {

namespace {

std::string LineAndColumn(std::string_view text, std::size_t byte)
{
    std::size_t line = 1;
    std::size_t column = 1;
    for (std::size_t i = 0; i < byte && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// Builds the value from the parser's events. The members of every open array
// or object gather in a list kept per depth and reused by the siblings that
// follow, and become the container, allocated once at its final size, when it
// closes: growing each container member by member costs a reallocation per
// doubling, and most of a document's containers hold one to three values.
// An open container is the last entry of its parent's list, which does not
// grow while it is open, so the pointers on the stack stay valid.
class BoundedBuilder : public nlohmann::json_sax<Json> {
public:
    Json root;
    bool tooDeep = false;
    std::size_t errorByte = 0;
    bool syntaxError = false;

    bool null() override { return Put(Json(nullptr)); }
    bool boolean(bool v) override { return Put(Json(v)); }
    bool number_integer(number_integer_t v) override { return Put(Json(v)); }
    bool number_unsigned(number_unsigned_t v) override { return Put(Json(v)); }
    bool number_float(number_float_t v, const string_t&) override { return Put(Json(v)); }
    bool string(string_t& v) override { return Put(Json(std::move(v))); }
    bool binary(binary_t& v) override { return Put(Json::binary(std::move(v))); }

    bool start_object(std::size_t) override { return Open(true); }
    bool start_array(std::size_t) override { return Open(false); }
    bool end_object() override { return Close(); }
    bool end_array() override { return Close(); }

    bool key(string_t& k) override
    {
        open_.back().key = std::move(k);
        return true;
    }

    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception&) override
    {
        syntaxError = true;
        errorByte = position;
        return false;
    }

private:
    struct Member {
        std::string key;  // arrays: unused
        Json value;
    };
    struct OpenValue {
        Json* value;  // where the container goes when it closes
        bool isObject;
        std::string key;  // objects: the key of the next member
    };
    std::vector<OpenValue> open_;
    std::vector<std::vector<Member>> members_;  // per depth, reused

    // Objects up to this many members (nearly all: {"int": 3}) find a
    // repeated key by a scan as it arrives; bigger ones gather every member
    // and merge repeated keys when they close, in n log n.
    static constexpr std::size_t kScannedUpTo = 16;

    // The member named by the open object's pending key, if present: a
    // repeated key replaces the earlier value in its place.
    static Json* Existing(const OpenValue& parent, std::vector<Member>& members)
    {
        if (members.size() >= kScannedUpTo) return nullptr;  // merged at close
        for (Member& member : members) {
            if (member.key == parent.key) {
                return &member.value;
            }
        }
        return nullptr;
    }

    // Gives the first member of each repeated key the value of its last one
    // and drops the others, keeping the order of first appearance: what
    // replacing in place as the members arrived would have left.
    static void MergeRepeatedKeys(std::vector<Member>& members)
    {
        if (members.size() <= kScannedUpTo) return;
        std::vector<std::size_t> byKey(members.size());
        for (std::size_t i = 0; i < byKey.size(); ++i) byKey[i] = i;
        std::stable_sort(byKey.begin(), byKey.end(),
                         [&](std::size_t a, std::size_t b) { return members[a].key < members[b].key; });
        std::vector<bool> dropped(members.size(), false);
        bool anyDropped = false;
        for (std::size_t run = 0; run < byKey.size();) {
            std::size_t end = run + 1;
            while (end < byKey.size() && members[byKey[end]].key == members[byKey[run]].key) ++end;
            if (end - run > 1) {
                members[byKey[run]].value = std::move(members[byKey[end - 1]].value);
                for (std::size_t i = run + 1; i < end; ++i) dropped[byKey[i]] = true;
                anyDropped = true;
            }
            run = end;
        }
        if (!anyDropped) return;
        std::size_t kept = 0;
        for (std::size_t i = 0; i < members.size(); ++i) {
            if (!dropped[i]) {
                if (kept != i) members[kept] = std::move(members[i]);
                ++kept;
            }
        }
        members.resize(kept);
    }

    // Stores `v` where the next value goes; returns where it now lives.
    Json* Place(Json&& v)
    {
        if (open_.empty()) {
            root = std::move(v);
            return &root;
        }
        OpenValue& parent = open_.back();
        std::vector<Member>& members = members_[open_.size() - 1];
        if (parent.isObject) {
            if (Json* existing = Existing(parent, members)) {
                *existing = std::move(v);
                return existing;
            }
            members.push_back(Member{std::move(parent.key), std::move(v)});
        } else {
            members.push_back(Member{{}, std::move(v)});
        }
        return &members.back().value;
    }

    bool Put(Json&& v)
    {
        Place(std::move(v));
        return true;
    }

    bool Open(bool isObject)
    {
        if (open_.size() >= kMaxJsonDepth) {
            tooDeep = true;
            return false;
        }
        Json* placed = Place(Json());
        open_.push_back(OpenValue{placed, isObject, {}});
        if (members_.size() < open_.size()) {
            members_.emplace_back();
        }
        return true;
    }

    bool Close()
    {
        const OpenValue& closing = open_.back();
        std::vector<Member>& members = members_[open_.size() - 1];
        if (closing.isObject) {
            MergeRepeatedKeys(members);
            Json::object_t object;
            object.reserve(members.size());
            for (Member& member : members) {
                object.emplace_back(std::move(member.key), std::move(member.value));
            }
            *closing.value = Json(Json::value_t::object);
            closing.value->get_ref<Json::object_t&>() = std::move(object);
        } else {
            Json::array_t array;
            array.reserve(members.size());
            for (Member& member : members) {
                array.push_back(std::move(member.value));
            }
            *closing.value = Json(Json::value_t::array);
            closing.value->get_ref<Json::array_t&>() = std::move(array);
        }
        members.clear();
        open_.pop_back();
        return true;
    }
};

}  // namespace

Result<Json> ParseJsonBounded(std::string_view text, const std::string& sourceName)
{
    BoundedBuilder builder;
    try {
        const bool complete = Json::sax_parse(text.begin(), text.end(), &builder);
        if (builder.tooDeep) {
            return Result<Json>::Error(sourceName + ": not valid JSON (nested deeper than " +
                                       std::to_string(kMaxJsonDepth) + " levels)");
        }
        if (!complete || builder.syntaxError) {
            const bool atEnd = builder.errorByte >= text.size();
            return Result<Json>::Error(sourceName + ": not valid JSON (" +
                                       (atEnd
                                            ? std::string("truncated")
                                            : LineAndColumn(text, builder.errorByte == 0 ? 0 : builder.errorByte - 1)) +
                                       ")");
        }
    } catch (const std::exception& e) {
        return Result<Json>::Error(sourceName + ": cannot read the document (" + e.what() + ")");
    }
    return std::move(builder.root);
}

}  // namespace nocturnia::runtime
