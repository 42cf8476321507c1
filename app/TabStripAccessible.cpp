#include "TabStripAccessible.h"

#include "TabStrip.h"

namespace {

// One tab, addressed by its 1-based index in the strip.
class TabAccessible final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TabAccessible(TabStrip* strip, int index) : strip_(strip), index_(index) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    bool isValid() const override { return strip_ && index_ <= strip_->count(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return parent() ? parent()->window() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(strip_.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::PageTab; }

    QString text(QAccessible::Text textType) const override
    {
        if (!isValid())
            return {};
        if (textType == QAccessible::Name)
            return strip_->tabText(index_).trimmed();
        if (textType == QAccessible::Description)
            return strip_->tabToolTip(index_);
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect local = strip_->tabRect(index_);
        return QRect(strip_->mapToGlobal(local.topLeft()), local.size());
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        state.selectable = true;
        state.focusable = true;
        state.invisible = !strip_->isVisible();
        state.disabled = !strip_->isEnabled();
        state.selected = strip_->selectedIndex() == index_;
        state.focused = strip_->hasFocus() && strip_->focusedIndex() == index_;
        return state;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& actionName) override
    {
        if (actionName == pressAction() && isValid() && strip_->isEnabled())
            strip_->activateTab(index_);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<TabStrip> strip_;
    int index_;
};

QAccessibleInterface* tabStripFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("TabStrip") && object && object->isWidgetType())
        return new TabStripAccessible(static_cast<TabStrip*>(object));
    return nullptr;
}

} // namespace

TabStripAccessible::TabStripAccessible(TabStrip* strip) : QAccessibleWidget(strip, QAccessible::PageTabList) {}

TabStripAccessible::~TabStripAccessible()
{
    for (const QAccessible::Id id : std::as_const(tabs_))
        QAccessible::deleteAccessibleInterface(id);
}

void TabStripAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(&tabStripFactory);
        return true;
    }();
    (void)installed;
}

TabStrip* TabStripAccessible::strip() const { return static_cast<TabStrip*>(object()); }

int TabStripAccessible::childCount() const { return strip()->count(); }

QAccessibleInterface* TabStripAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    if (const QAccessible::Id id = tabs_.value(index))
        return QAccessible::accessibleInterface(id);
    auto* tab = new TabAccessible(strip(), index + 1);
    tabs_.insert(index, QAccessible::registerAccessibleInterface(tab));
    return tab;
}

int TabStripAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    for (auto it = tabs_.cbegin(); it != tabs_.cend(); ++it) {
        if (QAccessible::accessibleInterface(it.value()) == child)
            return it.key();
    }
    return -1;
}

QAccessibleInterface* TabStripAccessible::childAt(int x, int y) const
{
    const QPoint local = strip()->mapFromGlobal(QPoint(x, y));
    for (int index = 1; index <= strip()->count(); ++index) {
        if (strip()->tabRect(index).contains(local))
            return child(index - 1);
    }
    return nullptr;
}

QAccessibleInterface* TabStripAccessible::focusChild() const
{
    if (!strip()->hasFocus() || strip()->focusedIndex() < 1)
        return nullptr;
    return child(strip()->focusedIndex() - 1);
}
