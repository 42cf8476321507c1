#include "SetForm.h"

#include "ButtonEnterKey.h"
#include "ScreenControls.h"
#include "Twips.h"
#include "WidgetNames.h"

#include <QKeyEvent>
#include <QPushButton>

SetForm::SetForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(WidgetNames::SetForm);
    setWindowTitle(QStringLiteral("ID.PASS.サーバー設定"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(Twips::size(3135, 615));

    auto* account = new QPushButton(QStringLiteral("ID/PASS"), this);
    account->setObjectName(WidgetNames::SetFormAccount);
    account->setGeometry(Twips::rect(120, 120, 1455, 375));
    auto* servers = new QPushButton(QStringLiteral("POPサーバー"), this);
    servers->setObjectName(WidgetNames::SetFormServers);
    servers->setGeometry(Twips::rect(1560, 120, 1455, 375));

    // A chooser of two equals: neither is the default button. Widened for its title, it keeps them
    // in the middle.
    const int added = ScreenControls::makeRoomForTitle(*this);
    for (QPushButton* button : {account, servers}) {
        button->setAutoDefault(false);
        button->move(button->x() + added / 2, button->y());
    }

    connect(account, &QPushButton::clicked, this, &SetForm::accountRequested);
    connect(servers, &QPushButton::clicked, this, &SetForm::serversRequested);
    ButtonEnterKey::install(*this);
}

void SetForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QDialog::keyPressEvent(event);
}
