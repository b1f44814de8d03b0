// The Templates page's operations through the store.
#include "settings/template_list.h"

#include "shared/localization.h"
#include "settings/recommended_templates.h"

#include <algorithm>

namespace tessary {
std::string rowTitle(const FileTemplate& fileTemplate)
{
    return fileTemplate.hasBlankLabel() ? tr("Untitled template") : fileTemplate.name;
}

std::optional<std::size_t> TemplateList::selectedIndex() const
{
    return m_selection ? indexOfTemplate(templates(), *m_selection) : std::nullopt;
}

void TemplateList::selectFirstIfNone()
{
    if (!m_selection && !templates().empty()) {
        m_selection = templates().front().id;
    }
}

void TemplateList::addTemplate()
{
    const FileTemplate added{Uuid::random(), tr("New Template"), "untitled", "txt", ""};
    m_store.update([&](SharedSettings& settings) { settings.templates.push_back(added); });
    m_selection = added.id;
}

void TemplateList::addRecommended(const FileTemplate& entry)
{
    if (isAlreadyAdded(entry, templates())) {
        return;
    }
    FileTemplate copy = entry;
    copy.id = Uuid::random();
    m_store.update([&](SharedSettings& settings) { settings.templates.push_back(copy); });
    m_selection = copy.id;
}

bool TemplateList::canRemove() const
{
    return m_selection.has_value() && templates().size() >= 2;
}

void TemplateList::removeSelected()
{
    const auto index = selectedIndex();
    if (!canRemove() || !index) {
        return;
    }
    m_store.update([&](SharedSettings& settings) {
        if (*index >= settings.templates.size()) {
            return;
        }
        if (settings.defaultTemplateID == settings.templates[*index].id) {
            settings.defaultTemplateID.reset();
        }
        settings.templates.erase(settings.templates.begin() + static_cast<std::ptrdiff_t>(*index));
    });
    const auto& remaining = templates();
    m_selection = remaining.empty()
                      ? std::nullopt
                      : std::optional(remaining[std::min(*index, remaining.size() - 1)].id);
}

std::string TemplateList::removalTitle() const
{
    const auto index = selectedIndex();
    return tr("Remove the template “%@”?", index ? templates()[*index].name : std::string());
}

bool TemplateList::canMove(std::size_t index, int offset) const
{
    const auto target = static_cast<std::ptrdiff_t>(index) + offset;
    return index < templates().size() && target >= 0 &&
           target < static_cast<std::ptrdiff_t>(templates().size());
}

void TemplateList::move(const Uuid& id, int offset)
{
    const auto index = indexOfTemplate(templates(), id);
    if (!index || !canMove(*index, offset)) {
        return;
    }
    const auto target = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(*index) + offset);
    m_store.update([&](SharedSettings& settings) {
        if (std::max(*index, target) < settings.templates.size()) {
            std::swap(settings.templates[*index], settings.templates[target]);
        }
    });
}

void TemplateList::dragMove(const std::vector<std::size_t>& sources, std::size_t destination)
{
    m_store.update(
        [&](SharedSettings& settings) { moveOffsets(settings.templates, sources, destination); });
}

} // namespace tessary
