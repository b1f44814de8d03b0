// The template list's model, row drawing and the page's controls.
#include "ui/templates_page.h"

#include "ui/form_parts.h"
#include "shared/localization.h"
#include "settings/recommended_templates.h"
#include "ui/symbol_icon.h"
#include "ui/template_editor.h"
#include "shared/template_symbols.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QDataStream>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace tessary {
namespace {

const QString kRowsMimeType = QStringLiteral("application/x-tessary-template-rows");
constexpr int kFileNameRole = Qt::UserRole + 1;

} // namespace

// The store's templates as list rows; a drop hands the moved rows to the page.
class TemplateListModel : public QAbstractListModel {
public:
    TemplateListModel(SettingsStore& store, std::function<void(std::vector<std::size_t>, int)> move,
                      QObject* parent)
        : QAbstractListModel(parent), m_store(store), m_move(std::move(move))
    {
        m_ids = currentIds();
    }

    // Rows keep their place when only texts changed; a new order or count resets the list.
    void refresh()
    {
        std::vector<Uuid> ids = currentIds();
        if (ids == m_ids) {
            if (!ids.empty()) {
                emit dataChanged(index(0), index(rowCount() - 1));
            }
            return;
        }
        beginResetModel();
        m_ids = std::move(ids);
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_ids.size());
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        const auto& templates = m_store.settings().templates;
        const auto row = static_cast<std::size_t>(index.row());
        if (!index.isValid() || row >= templates.size()) {
            return {};
        }
        const FileTemplate& t = templates[row];
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return toQt(rowTitle(t));
        case kFileNameRole:
        case Qt::AccessibleDescriptionRole:
            return toQt(t.fileName());
        case Qt::DecorationRole:
            return symbolIcon(symbolName(t.fileExtension));
        default:
            return {};
        }
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        const Qt::ItemFlags base = QAbstractListModel::flags(index);
        return index.isValid() ? base | Qt::ItemIsDragEnabled : base | Qt::ItemIsDropEnabled;
    }

    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    QStringList mimeTypes() const override { return {kRowsMimeType}; }

    QMimeData* mimeData(const QModelIndexList& indexes) const override
    {
        QByteArray rows;
        QDataStream stream(&rows, QIODevice::WriteOnly);
        for (const QModelIndex& index : indexes) {
            stream << index.row();
        }
        auto* data = new QMimeData;
        data->setData(kRowsMimeType, rows);
        return data;
    }

    bool dropMimeData(const QMimeData* data, Qt::DropAction, int row, int,
                      const QModelIndex& parent) override
    {
        if (!data->hasFormat(kRowsMimeType) || parent.isValid()) {
            return false;
        }
        QDataStream stream(data->data(kRowsMimeType));
        std::vector<std::size_t> sources;
        while (!stream.atEnd()) {
            int source = -1;
            stream >> source;
            if (source >= 0) {
                sources.push_back(static_cast<std::size_t>(source));
            }
        }
        m_move(std::move(sources), row < 0 ? rowCount() : row);
        return true;
    }

private:
    std::vector<Uuid> currentIds() const
    {
        std::vector<Uuid> ids;
        for (const FileTemplate& t : m_store.settings().templates) {
            ids.push_back(t.id);
        }
        return ids;
    }

    SettingsStore& m_store;
    std::function<void(std::vector<std::size_t>, int)> m_move;
    std::vector<Uuid> m_ids;
};

namespace {

// A row: the icon, the label, and the file name below it in a smaller, secondary text.
class TemplateRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        const QFontMetrics metrics(option.font);
        return {option.rect.width(), metrics.height() * 2 + 10};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        QStyleOptionViewItem background = option;
        initStyleOption(&background, index);
        background.text.clear();
        background.icon = QIcon();
        QApplication::style()->drawControl(QStyle::CE_ItemViewItem, &background, painter,
                                           option.widget);

        const bool selected = option.state.testFlag(QStyle::State_Selected);
        const QPalette& palette = option.palette;
        const QRect area = option.rect.adjusted(8, 5, -8, -5);
        const int iconSize = 20;
        const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
        icon.paint(painter,
                   QRect(area.left(), area.center().y() - iconSize / 2, iconSize, iconSize));
        const QRect text = area.adjusted(iconSize + 8, 0, 0, 0);
        const int lineHeight = text.height() / 2;
        painter->save();
        painter->setFont(option.font);
        painter->setPen(palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const QFontMetrics metrics(option.font);
        painter->drawText(
            QRect(text.left(), text.top(), text.width(), lineHeight),
            Qt::AlignLeft | Qt::AlignVCenter,
            metrics.elidedText(index.data().toString(), Qt::ElideRight, text.width()));
        QFont small = option.font;
        small.setPointSizeF(small.pointSizeF() * 0.9);
        painter->setFont(small);
        QColor secondary = palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
        secondary.setAlphaF(0.55F);
        painter->setPen(secondary);
        painter->drawText(QRect(text.left(), text.top() + lineHeight, text.width(), lineHeight),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          QFontMetrics(small).elidedText(index.data(kFileNameRole).toString(),
                                                         Qt::ElideRight, text.width()));
        painter->restore();
    }
};

QToolButton* barButton(const std::string& label, std::string_view symbol, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setIcon(symbolIcon(symbol));
    button->setToolTip(toQt(label));
    button->setAccessibleName(toQt(label));
    button->setAutoRaise(true);
    return button;
}

} // namespace

TemplatesPage::TemplatesPage(SettingsStore& store, QWidget* parent)
    : QWidget(parent), m_store(store), m_list(store),
      m_model(new TemplateListModel(
          store,
          [this](std::vector<std::size_t> sources, int destination) {
              // After the drop has finished with the rows it knows.
              QTimer::singleShot(0, this, [this, sources, destination] {
                  m_list.dragMove(sources, static_cast<std::size_t>(destination));
              });
          },
          this)),
      m_view(new QListView(this)),
      m_remove(barButton(tessary::tr("Remove Template"), "minus", this)),
      m_recommended(
          barButton(tessary::tr("Add a recommended file type. Ones you already have are dimmed."),
                    "sparkles", this)),
      m_detail(new QStackedWidget(this)), m_editor(new TemplateEditor(store, this))
{
    m_view->setModel(m_model);
    m_view->setItemDelegate(new TemplateRowDelegate(m_view));
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setUniformItemSizes(true);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    // Rows are moved by the model's own drop, so a drop needs only its data, not its source.
    m_view->setDragDropMode(QAbstractItemView::DragDrop);
    m_view->setDefaultDropAction(Qt::MoveAction);
    m_view->setDragDropOverwriteMode(false);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    m_view->setAccessibleName(toQt(tessary::tr("Templates")));
    m_view->installEventFilter(this);

    QToolButton* add = barButton(tessary::tr("Add Template"), "plus", this);
    m_recommended->setText(toQt(tessary::tr("Add Recommended")));
    m_recommended->setAccessibleName(toQt(tessary::tr("Add Recommended")));
    m_recommended->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_recommended->setPopupMode(QToolButton::InstantPopup);
    m_recommended->setMenu(new QMenu(m_recommended));

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(6, 6, 6, 6);
    bar->setSpacing(4);
    bar->addWidget(add);
    bar->addWidget(m_remove);
    bar->addStretch(1);
    bar->addWidget(m_recommended);

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setStyleSheet(QStringLiteral("color: palette(mid);"));

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("templateListPanel"));
    panel->setStyleSheet(QStringLiteral("#templateListPanel { background: palette(base); "
                                        "border: 1px solid palette(mid); border-radius: 8px; }"));
    panel->setMinimumWidth(210);
    panel->setMaximumWidth(260);
    panel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(1, 1, 1, 1);
    panelLayout->setSpacing(0);
    panelLayout->addWidget(m_view, 1);
    panelLayout->addWidget(divider);
    panelLayout->addLayout(bar);

    auto* empty = new QWidget(this);
    auto* emptyLayout = new QVBoxLayout(empty);
    auto* hint = new QLabel(toQt(tessary::tr("Select a template, or add one with +.")), empty);
    makeSecondary(hint);
    emptyLayout->addStretch(1);
    emptyLayout->addWidget(hint, 0, Qt::AlignHCenter);
    emptyLayout->addWidget(
        captionLabel(tessary::tr("The order here is the order in the menu of Files; "
                                 "drag to reorder, or use Move Up and Move Down from a "
                                 "template's shortcut menu."),
                     empty));
    emptyLayout->addStretch(1);
    m_detail->addWidget(m_editor);
    m_detail->addWidget(empty);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);
    layout->addWidget(panel, 0);
    layout->addWidget(m_detail, 1);

    // The list, its buttons, then the editor.
    setTabOrder(m_view, add);
    setTabOrder(add, m_remove);
    setTabOrder(m_remove, m_recommended);

    connect(add, &QToolButton::clicked, this, [this] {
        m_list.addTemplate();
        showSelection();
        m_editor->setFocus();
    });
    connect(m_remove, &QToolButton::clicked, this, &TemplatesPage::requestRemoval);
    connect(m_recommended->menu(), &QMenu::aboutToShow, this, &TemplatesPage::fillRecommendedMenu);
    connect(m_view, &QListView::customContextMenuRequested, this, &TemplatesPage::showRowMenu);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                const auto& templates = m_store.settings().templates;
                if (current.isValid() &&
                    static_cast<std::size_t>(current.row()) < templates.size()) {
                    m_list.select(templates[static_cast<std::size_t>(current.row())].id);
                    showSelection();
                }
            });
    connect(&m_store, &SettingsStore::settingsChanged, this, [this] {
        m_model->refresh();
        showSelection();
    });

    m_list.selectFirstIfNone();
    showSelection();
}

void TemplatesPage::showSelection()
{
    const auto index = m_list.selectedIndex();
    m_remove->setEnabled(m_list.canRemove());
    if (!index) {
        m_detail->setCurrentIndex(1);
        m_view->selectionModel()->clear();
        return;
    }
    const QModelIndex row = m_model->index(static_cast<int>(*index));
    if (m_view->currentIndex() != row) {
        m_view->selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect);
    }
    m_editor->setTemplateID(*m_list.selection());
    m_detail->setCurrentIndex(0);
}

void TemplatesPage::requestRemoval()
{
    if (!m_list.canRemove() || !m_list.selectedIndex()) {
        return;
    }
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Tessary"), toQt(m_list.removalTitle()),
                    QMessageBox::NoButton, this);
    box.setInformativeText(toQt(tessary::tr("Its label, file name and contents are deleted.")));
    QPushButton* remove = box.addButton(toQt(tessary::tr("Remove")), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(toQt(tessary::tr("Cancel")), QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.exec();
    if (box.clickedButton() == remove) {
        m_list.removeSelected();
        showSelection();
    }
}

bool TemplatesPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Delete)) {
        requestRemoval();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TemplatesPage::showRowMenu(const QPoint& position)
{
    const QModelIndex row = m_view->indexAt(position);
    const auto& templates = m_store.settings().templates;
    if (!row.isValid() || static_cast<std::size_t>(row.row()) >= templates.size()) {
        return;
    }
    const auto index = static_cast<std::size_t>(row.row());
    const Uuid id = templates[index].id;
    QMenu menu(this);
    QAction* up = menu.addAction(toQt(tessary::tr("Move Up")), [this, id] { m_list.move(id, -1); });
    up->setEnabled(m_list.canMove(index, -1));
    QAction* down =
        menu.addAction(toQt(tessary::tr("Move Down")), [this, id] { m_list.move(id, +1); });
    down->setEnabled(m_list.canMove(index, +1));
    menu.addSeparator();
    QAction* remove = menu.addAction(toQt(tessary::tr("Remove…")), [this, id] {
        m_list.select(id);
        showSelection();
        requestRemoval();
    });
    remove->setEnabled(templates.size() >= 2);
    menu.exec(m_view->viewport()->mapToGlobal(position));
}

void TemplatesPage::fillRecommendedMenu()
{
    QMenu* menu = m_recommended->menu();
    menu->clear();
    for (const FileTemplate& entry : recommendedTemplates()) {
        const bool added = isAlreadyAdded(entry, m_store.settings().templates);
        QAction* action =
            menu->addAction(symbolIcon(symbolName(entry.fileExtension)),
                            toQt(added ? tessary::tr("%@ (added)", entry.name) : entry.name));
        action->setEnabled(!added);
        connect(action, &QAction::triggered, this, [this, entry] {
            m_list.addRecommended(entry);
            showSelection();
        });
    }
}

} // namespace tessary
