#include "text/json_text.h"

#include "text/byte_text.h"

#include <cstdio>
#include <string_view>

namespace nocturnia::cli {

namespace {

using nocturnia::runtime::Json;

void AppendEscape(std::string& out, unsigned int point)
{
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", point);
    out += escape;
}

void AppendString(std::string& out, std::string_view bytes)
{
    out += '"';
    while (!bytes.empty()) {
        const std::size_t length = Utf8SequenceLength(bytes);
        const auto c = static_cast<unsigned char>(bytes.front());
        if (length == 0) {
            AppendEscape(out, 0xDC00u + c);
        } else if (length > 1) {
            out.append(bytes.substr(0, length));
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            const char* named = c == '\b'   ? "\\b"
                                : c == '\f' ? "\\f"
                                : c == '\n' ? "\\n"
                                : c == '\r' ? "\\r"
                                : c == '\t' ? "\\t"
                                            : nullptr;
            if (named != nullptr) {
                out += named;
            } else {
                AppendEscape(out, c);
            }
        } else {
            out += static_cast<char>(c);
        }
        bytes.remove_prefix(length == 0 ? 1 : length);
    }
    out += '"';
}

void AppendValue(std::string& out, const Json& json, int indent, int depth);

// Starts member or element `index` of a container at `depth`.
void AppendSeparator(std::string& out, std::size_t index, int indent, int depth)
{
    if (index > 0) {
        out += ',';
    }
    if (indent >= 0) {
        out += '\n';
        out.append(static_cast<std::size_t>(indent) * static_cast<std::size_t>(depth + 1), ' ');
    }
}

void AppendContainer(std::string& out, const Json& json, int indent, int depth)
{
    const bool object = json.is_object();
    if (json.empty()) {
        out += object ? "{}" : "[]";
        return;
    }
    out += object ? '{' : '[';
    std::size_t index = 0;
    for (auto it = json.begin(); it != json.end(); ++it, ++index) {
        AppendSeparator(out, index, indent, depth);
        if (object) {
            AppendString(out, it.key());
            out += indent >= 0 ? ": " : ":";
        }
        AppendValue(out, it.value(), indent, depth + 1);
    }
    if (indent >= 0) {
        out += '\n';
        out.append(static_cast<std::size_t>(indent) * static_cast<std::size_t>(depth), ' ');
    }
    out += object ? '}' : ']';
}

void AppendValue(std::string& out, const Json& json, int indent, int depth)
{
    if (json.is_string()) {
        AppendString(out, json.get_ref<const std::string&>());
    } else if (json.is_object() || json.is_array()) {
        AppendContainer(out, json, indent, depth);
    } else {
        out += json.dump();
    }
}

}  // namespace

std::string JsonText(const Json& json, int indent)
{
    std::string out;
    AppendValue(out, json, indent, 0);
    return out;
}

}  // namespace nocturnia::cli
