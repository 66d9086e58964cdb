#include "runtime/json_reader.h"

#include <exception>
#include <unordered_map>
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

// Builds the value from the parser's events. Every open array or object is
// the last element of its parent, which does not grow while it is open, so
// the pointers on the stack stay valid.
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

    bool start_object(std::size_t) override { return Open(Json::object()); }
    bool start_array(std::size_t) override { return Open(Json::array()); }
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
    struct OpenValue {
        Json* value;
        std::string key;  // objects: the key of the next member
        // Objects of kIndexedFrom members and more: key -> position. Smaller
        // ones (nearly all: {"int": 3}) are scanned.
        std::unordered_map<std::string, std::size_t> members;
    };
    std::vector<OpenValue> open_;

    static constexpr std::size_t kIndexedFrom = 16;

    // The member of the open object named by its pending key, if present.
    static Json* Member(OpenValue& parent, Json::object_t& object)
    {
        if (object.size() < kIndexedFrom) {
            for (auto& member : object) {
                if (member.first == parent.key) {
                    return &member.second;
                }
            }
            return nullptr;
        }
        if (parent.members.empty()) {  // just grown past the scanned size
            for (std::size_t i = 0; i < object.size(); ++i) {
                parent.members.emplace((object.begin() + static_cast<std::ptrdiff_t>(i))->first, i);
            }
        }
        auto it = parent.members.find(parent.key);
        return it == parent.members.end() ? nullptr
                                          : &(object.begin() + static_cast<std::ptrdiff_t>(it->second))->second;
    }

    // Stores `v` where the next value goes; returns where it now lives.
    Json* Place(Json&& v)
    {
        if (open_.empty()) {
            root = std::move(v);
            return &root;
        }
        OpenValue& parent = open_.back();
        if (parent.value->is_array()) {
            auto& array = parent.value->get_ref<Json::array_t&>();
            array.push_back(std::move(v));
            return &array.back();
        }
        auto& object = parent.value->get_ref<Json::object_t&>();
        if (Json* existing = Member(parent, object)) {
            *existing = std::move(v);
            return existing;
        }
        if (!parent.members.empty()) {
            parent.members.emplace(parent.key, object.size());
        }
        // Appended directly: the key is known to be new, so no scan for it.
        object.emplace_back(std::move(parent.key), std::move(v));
        return &object.back().second;
    }

    bool Put(Json&& v)
    {
        Place(std::move(v));
        return true;
    }

    bool Open(Json&& empty)
    {
        if (open_.size() >= kMaxJsonDepth) {
            tooDeep = true;
            return false;
        }
        Json* placed = Place(std::move(empty));
        open_.push_back(OpenValue{placed, {}, {}});
        return true;
    }

    bool Close()
    {
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
