// What the Templates page does with the template list: its selection and the operations
// that add, remove and reorder templates. Positions are found in the store's current copy
// and applied to the freshly loaded document; one that is outside it changes nothing.
#pragma once

#include "settings/settings_store.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tessary {

// Moves the elements at `sources` to `destination`, a position counted before the move;
// the moved elements keep their order. False, with nothing moved, for a position outside.
template <typename T>
bool moveOffsets(std::vector<T>& list, std::vector<std::size_t> sources, std::size_t destination);

// The template's name, or "Untitled template" when it has none.
std::string rowTitle(const FileTemplate& fileTemplate);

class TemplateList {
public:
    explicit TemplateList(SettingsStore& store) : m_store(store) {}

    const std::optional<Uuid>& selection() const { return m_selection; }
    void select(std::optional<Uuid> id) { m_selection = id; }
    // The selected template's position in the current list.
    std::optional<std::size_t> selectedIndex() const;
    void selectFirstIfNone();

    // Appends "New Template" (untitled.txt) and selects it.
    void addTemplate();
    // Appends a copy of a catalogue entry under a new id and selects it, unless one with its
    // extension is already there.
    void addRecommended(const FileTemplate& entry);

    // A selection and at least two templates: the list is never emptied here.
    bool canRemove() const;
    // Removes the selected template, clears the default when it was the default, and selects
    // the template that took its place (the new last one after removing the last).
    void removeSelected();
    // The confirmation's title, naming the selected template as stored.
    std::string removalTitle() const;

    bool canMove(std::size_t index, int offset) const;
    // Swaps the template with its neighbour above (-1) or below (+1).
    void move(const Uuid& id, int offset);
    // Moves the templates at `sources` to `destination` in one save.
    void dragMove(const std::vector<std::size_t>& sources, std::size_t destination);

private:
    const std::vector<FileTemplate>& templates() const { return m_store.settings().templates; }

    SettingsStore& m_store;
    std::optional<Uuid> m_selection;
};

template <typename T>
bool moveOffsets(std::vector<T>& list, std::vector<std::size_t> sources, std::size_t destination)
{
    std::sort(sources.begin(), sources.end());
    sources.erase(std::unique(sources.begin(), sources.end()), sources.end());
    if (destination > list.size() || (!sources.empty() && sources.back() >= list.size())) {
        return false;
    }
    std::vector<T> moved;
    std::vector<T> rest;
    std::size_t insertAt = destination;
    for (std::size_t i = 0, next = 0; i < list.size(); ++i) {
        if (next < sources.size() && sources[next] == i) {
            moved.push_back(std::move(list[i]));
            ++next;
            insertAt -= i < destination ? 1 : 0;
        } else {
            rest.push_back(std::move(list[i]));
        }
    }
    rest.insert(rest.begin() + static_cast<std::ptrdiff_t>(insertAt),
                std::make_move_iterator(moved.begin()), std::make_move_iterator(moved.end()));
    list = std::move(rest);
    return true;
}

} // namespace tessary
