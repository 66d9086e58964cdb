#include "runtime/resources.h"

#include "runtime/input_file.h"
#include "runtime/json_reader.h"
#include "runtime/value_json.h"

#include <algorithm>
#include <system_error>

namespace nocturnia::runtime {

namespace fs = std::filesystem;

std::filesystem::path PathFromUtf8(const std::string& text)
{
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string PathToUtf8(const std::filesystem::path& path)
{
    const std::u8string u8 = path.u8string();
    return std::string(u8.begin(), u8.end());
}

namespace {

Result<Json> ReadJsonFile(const fs::path& path)
{
    auto text = ReadTextFile(path);
    if (!text) {
        return text.status();
    }
    return ParseJsonBounded(*text, PathToUtf8(path));
}

Result<std::int32_t> IntMember(const Json& object, const char* key, std::int32_t preset, bool required,
                               const std::string& where)
{
    auto it = object.find(key);
    if (it == object.end()) {
        if (required) {
            return Result<std::int32_t>::Error(where + ": \"" + key + "\" is missing");
        }
        return preset;
    }
    auto value = ValueFromJson(Json{{"int", *it}}, nullptr, where + "." + key);
    if (!value) {
        return value.status();
    }
    return value->AsInt();
}

Result<std::shared_ptr<DescriptionResource>> ParseDescription(const Json& json, const std::string& where)
{
    using R = Result<std::shared_ptr<DescriptionResource>>;
    if (!json.is_object()) {
        return R::Error(where + ": expected an object");
    }
    auto desc = std::make_shared<DescriptionResource>();
    auto name = json.find("description");
    if (name == json.end() || !name->is_string() || name->get_ref<const std::string&>().empty()) {
        return R::Error(where + ": \"description\" must name the description");
    }
    desc->name = name->get<std::string>();
    auto entries = json.find("entries");
    if (entries == json.end() || !entries->is_array()) {
        return R::Error(where + ": \"entries\" must be an array");
    }
    for (std::size_t i = 0; i < entries->size(); ++i) {
        const Json& e = (*entries)[i];
        const std::string at = where + ".entries[" + std::to_string(i) + "]";
        if (!e.is_object()) {
            return R::Error(at + ": expected an object");
        }
        auto id = IntMember(e, "id", 0, true, at);
        auto type = IntMember(e, "type", 0, true, at);
        auto parent = IntMember(e, "parent", 0, false, at);
        for (const auto* r : {&id, &type, &parent}) {
            if (!*r) {
                return R(r->status());
            }
        }
        DescriptionResourceEntry entry;
        entry.id.depth = 1;
        entry.id.level[0] = NocDescLevel{*id, *type, 0};
        if (*parent != 0) {
            entry.parent.depth = 1;
            entry.parent.level[0] = NocDescLevel{*parent, NOC_DA_GROUP, 0};
        }
        if (auto s = e.find("settings"); s != e.end()) {
            auto settings = ContainerFromJson(*s, nullptr, at + ".settings");
            if (!settings) {
                return R(settings.status());
            }
            entry.settings = std::move(*settings);
        }
        if (auto n = e.find("name"); n != e.end()) {
            if (!n->is_string()) {
                return R::Error(at + ".name: expected a string");
            }
            entry.settings.SetString(NOC_DESC_NAME, n->get<std::string>());
            entry.settings.SetString(NOC_DESC_SHORT_NAME, n->get<std::string>());
        }
        desc->entries.push_back(std::move(entry));
    }
    return desc;
}

}  // namespace

Resource::~Resource()
{
    for (const auto& d : descriptions_) {
        UnregisterDescriptionResource(d.get());
    }
}

Result<std::unique_ptr<Resource>> Resource::Load(const fs::path& folder)
{
    using R = Result<std::unique_ptr<Resource>>;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        return R::Error(PathToUtf8(folder) + ": no such resource folder");
    }
    std::unique_ptr<Resource> resource(new Resource());

    auto strings = ReadJsonFile(folder / "strings.json");
    if (!strings) {
        return R(strings.status());
    }
    auto table = strings->find("strings");
    if (!strings->is_object() || table == strings->end() || !table->is_object()) {
        return R::Error(PathToUtf8(folder / "strings.json") + ": \"strings\" must be an object");
    }
    for (const auto& [key, text] : table->items()) {
        auto c = ContainerFromJson(Json{{key, Json{{"string", text}}}}, nullptr, "strings.json");
        if (!c) {
            return R(c.status());
        }
        resource->strings_[c->Entries().front().first] = text.get<std::string>();
    }

    const fs::path descriptionFolder = folder / "description";
    std::vector<fs::path> files;
    if (fs::is_directory(descriptionFolder, ec)) {
        for (const auto& item : fs::directory_iterator(descriptionFolder, ec)) {
            if (item.path().extension() == ".json") {
                files.push_back(item.path());
            }
        }
        if (ec) {
            return R::Error(PathToUtf8(descriptionFolder) + ": cannot list the folder");
        }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        auto json = ReadJsonFile(file);
        if (!json) {
            return R(json.status());
        }
        auto description = ParseDescription(*json, PathToUtf8(file.filename()));
        if (!description) {
            return R(description.status());
        }
        resource->descriptions_.push_back(std::move(*description));
    }
    // Registered only once everything has loaded: a failed load changes nothing.
    for (const auto& d : resource->descriptions_) {
        RegisterDescriptionResource(d);
    }
    return resource;
}

const std::string* Resource::String(std::int32_t id) const
{
    auto it = strings_.find(id);
    return it == strings_.end() ? nullptr : &it->second;
}

}  // namespace nocturnia::runtime
