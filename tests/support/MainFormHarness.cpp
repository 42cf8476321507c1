#include "MainFormHarness.h"

#include "TabStrip.h"
#include "WidgetNames.h"

#include <QApplication>
#include <QTest>

MainFormHarness::MainFormHarness(const TestProgramFolder& folder) : MainFormHarness(folder, mail) {}

MainFormHarness::MainFormHarness(const TestProgramFolder& folder, NMailApi& mailLibrary) : MainFormHarness(folder, mailLibrary, messageBoxes) {}

MainFormHarness::MainFormHarness(const TestProgramFolder& folder, NMailApi& mailLibrary, MessageBoxService& boxes)
    : services{boxes, clipboard, fileDialogs, launcher, clock, mailLibrary,
          [this] {
              QCoreApplication::processEvents();
              clock.tick();
          },
          [this] { ++endProcessCalls; }},
      paths_(folder.folder())
{
}

MainFormHarness::~MainFormHarness() = default;

bool MainFormHarness::start()
{
    form_ = std::make_unique<MainForm>(paths_, services);
    if (!form_->load())
        return false;
    form_->show();
    return true;
}

QWidget* MainFormHarness::window(const QString& name)
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == name)
            return window;
    }
    return nullptr;
}

void MainFormHarness::clickTab(int index) const
{
    TabStrip& strip = form_->tabStrip();
    QTest::mouseClick(&strip, Qt::LeftButton, Qt::NoModifier, strip.tabRect(index).center());
}
