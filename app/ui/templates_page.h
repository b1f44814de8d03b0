// The Templates page: the template list (drag to reorder, shortcut menu, add and remove
// buttons, the recommended catalogue) beside the editor of the selected template.
#pragma once

#include "settings/template_list.h"

#include <QWidget>

class QListView;
class QStackedWidget;
class QToolButton;

namespace tessary {

class TemplateEditor;
class TemplateListModel;

class TemplatesPage : public QWidget {
public:
    TemplatesPage(SettingsStore& store, QWidget* parent = nullptr);

    // Asks first, then removes the selected template (the Delete key and the minus button).
    void requestRemoval();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showSelection();
    void showRowMenu(const QPoint& position);
    void fillRecommendedMenu();

    SettingsStore& m_store;
    TemplateList m_list;
    TemplateListModel* m_model;
    QListView* m_view;
    QToolButton* m_remove;
    QToolButton* m_recommended;
    QStackedWidget* m_detail;
    TemplateEditor* m_editor;
};

} // namespace tessary
