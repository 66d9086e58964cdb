#include "text/parameter_label.h"

#include "text/number_text.h"
#include "text/suggestions.h"
#include "text/user_error.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>

namespace nocturnia::cli {

namespace {

std::vector<std::string_view> SplitPath(std::string_view label)
{
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t slash = label.find('/');
        parts.push_back(Trim(label.substr(0, slash)));
        if (slash == std::string_view::npos) {
            return parts;
        }
        label.remove_prefix(slash + 1);
    }
}

class GroupIndex {
public:
    explicit GroupIndex(const std::vector<nocturnia::runtime::DescriptionEntry>& entries)
    {
        for (const nocturnia::runtime::DescriptionEntry& entry : entries) {
            if (entry.type == NOC_DA_GROUP) {
                groups_.emplace(entry.id, &entry);
            }
        }
    }

    // Group entries from the outermost to the entry's own parent.
    std::vector<const nocturnia::runtime::DescriptionEntry*>
    Ancestors(const nocturnia::runtime::DescriptionEntry& entry) const
    {
        std::vector<const nocturnia::runtime::DescriptionEntry*> chain;
        std::int32_t parent = entry.parent;
        // The walk is bounded: a malformed description could loop.
        for (std::size_t guard = 0; parent != 0 && guard <= groups_.size(); ++guard) {
            const auto found = groups_.find(parent);
            if (found == groups_.end()) {
                break;
            }
            chain.push_back(found->second);
            parent = found->second->parent;
        }
        std::reverse(chain.begin(), chain.end());
        return chain;
    }

private:
    std::unordered_map<std::int32_t, const nocturnia::runtime::DescriptionEntry*> groups_;
};

bool GroupMatches(const nocturnia::runtime::DescriptionEntry& group, std::string_view qualifier)
{
    if (const std::optional<std::int32_t> id = ParseInteger(qualifier)) {
        return group.id == *id;
    }
    return SameIgnoringCase(group.name, qualifier);
}

// True when the qualifiers name groups of the chain in order.
bool QualifiersMatch(const std::vector<const nocturnia::runtime::DescriptionEntry*>& chain,
                     const std::vector<std::string_view>& qualifiers)
{
    std::size_t next = 0;
    for (const nocturnia::runtime::DescriptionEntry* group : chain) {
        if (next < qualifiers.size() && GroupMatches(*group, qualifiers[next])) {
            ++next;
        }
    }
    return next == qualifiers.size();
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

}  // namespace

std::vector<std::string> GroupPath(const std::vector<nocturnia::runtime::DescriptionEntry>& entries,
                                   const nocturnia::runtime::DescriptionEntry& entry)
{
    std::vector<std::string> names;
    for (const nocturnia::runtime::DescriptionEntry* group : GroupIndex(entries).Ancestors(entry)) {
        names.push_back(group->name);
    }
    return names;
}

namespace {

using EntryPointers = std::vector<const nocturnia::runtime::DescriptionEntry*>;

// The entry with the numeric ID `id`.
const nocturnia::runtime::DescriptionEntry&
EntryWithId(const std::vector<nocturnia::runtime::DescriptionEntry>& entries, std::int32_t id, std::string_view label)
{
    for (const nocturnia::runtime::DescriptionEntry& entry : entries) {
        if (entry.id == id) {
            return entry;
        }
    }
    throw UserError(ErrorKind::kUsage, "no parameter with ID " + std::string(label) + " in the description");
}

// The entries of that name under those qualifiers. Exact names first; a name
// in other letter case only when nothing matches exactly.
EntryPointers EntriesNamed(const std::vector<nocturnia::runtime::DescriptionEntry>& entries, std::string_view label)
{
    std::vector<std::string_view> qualifiers = SplitPath(label);
    const std::string_view name = qualifiers.back();
    qualifiers.pop_back();
    if (name.empty() || std::find(qualifiers.begin(), qualifiers.end(), std::string_view()) != qualifiers.end()) {
        throw UserError(ErrorKind::kUsage, "malformed parameter label " + Quoted(label));
    }
    const GroupIndex groups(entries);
    EntryPointers named;
    for (bool exact : {true, false}) {
        for (const nocturnia::runtime::DescriptionEntry& entry : entries) {
            const bool nameMatches = exact ? entry.name == name : SameIgnoringCase(entry.name, name);
            if (nameMatches && QualifiersMatch(groups.Ancestors(entry), qualifiers)) {
                named.push_back(&entry);
            }
        }
        if (!named.empty()) {
            return named;
        }
    }
    // The names that would have fitted under the qualifiers given.
    std::vector<std::string> known;
    for (const nocturnia::runtime::DescriptionEntry& entry : entries) {
        if (entry.type != NOC_DA_GROUP && !entry.name.empty() && QualifiersMatch(groups.Ancestors(entry), qualifiers)) {
            known.push_back(entry.name);
        }
    }
    const std::size_t lastSlash = label.rfind('/');
    const std::string prefix = lastSlash == std::string_view::npos ? "" : std::string(label.substr(0, lastSlash + 1));
    throw UserError(ErrorKind::kUsage, "unknown parameter " + Quoted(label) + DidYouMean(name, known, prefix));
}

// Several fitting entries of one group cannot be told apart by name.
void RefuseAmbiguity(const EntryPointers& fitting, std::string_view label)
{
    const std::int32_t group = fitting.front()->parent;
    const bool oneGroup =
        std::all_of(fitting.begin(), fitting.end(),
                    [&](const nocturnia::runtime::DescriptionEntry* entry) { return entry->parent == group; });
    if (fitting.size() > 1 && oneGroup) {
        std::string ids;
        for (const nocturnia::runtime::DescriptionEntry* entry : fitting) {
            ids += (ids.empty() ? "" : ", ") + std::to_string(entry->id);
        }
        throw UserError(ErrorKind::kUsage,
                        "parameter " + Quoted(label) + " is ambiguous (IDs " + ids + "); use the ID");
    }
}

}  // namespace

const nocturnia::runtime::DescriptionEntry&
FindEntryByLabel(const std::vector<nocturnia::runtime::DescriptionEntry>& entries, std::string_view label,
                 const EntryFilter& accepts)
{
    label = Trim(label);
    if (label.empty()) {
        throw UserError(ErrorKind::kUsage, "empty parameter label");
    }
    if (const std::optional<std::int32_t> id = ParseInteger(label)) {
        return EntryWithId(entries, *id, label);
    }
    const EntryPointers named = EntriesNamed(entries, label);
    EntryPointers fitting;
    std::copy_if(named.begin(), named.end(), std::back_inserter(fitting),
                 [&](const nocturnia::runtime::DescriptionEntry* entry) { return !accepts || accepts(*entry); });
    if (fitting.empty()) {
        // Nothing fits: hand back the entry the name most likely meant (a
        // parameter rather than a group of the same name), for the caller's
        // error message.
        const auto parameter =
            std::find_if(named.begin(), named.end(),
                         [](const nocturnia::runtime::DescriptionEntry* entry) { return entry->type != NOC_DA_GROUP; });
        return parameter != named.end() ? **parameter : *named.front();
    }
    RefuseAmbiguity(fitting, label);
    return *fitting.front();
}

}  // namespace nocturnia::cli
