#include "QtTestSuites.h"
#include "Cp932Codec.h"
#include "EditorToolBar.h"
#include "FolderFiles.h"
#include "MailEditorCommands.h"
#include "MainFormHarness.h"
#include "TestProgramFolder.h"
#include "TextPrinter.h"
#include "WidgetNames.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;
namespace Names = WidgetNames;
using Icon = MessageBoxService::Icon;

namespace {

const MessageFields Shown{u"件名"_s, u"sender@example.jp"_s, u"2026/12/07 10:00:00"_s, u"本文の一行目\r\n二行目"_s};

// The four header lines the editor puts above a body, as the body box holds them.
QString headed(const MessageFields& message, const QString& body)
{
    return u"Subject:  "_s + message.subject + u"\nFrom:  "_s + message.from + u"\nDate:  "_s + message.date
        + u"\nBody:  "_s + body;
}

struct Window {
    explicit Window(const TestProgramFolder& folder) : harness(folder)
    {
        if (!StoreMessage(folder.paths(), 1, 1, Shown).ok() || !harness.start())
            qFatal("cannot set up the mail screen");
        harness.clickTab(7);
    }
    MainFormHarness harness;

    QTextEdit* body() const { return harness.find<QTextEdit>(Names::rtfEd); }
    QString text() const { return body()->toPlainText(); }
    QLineEdit* box(const QString& name) const { return harness.find<QLineEdit>(name); }
    void menu(const QString& name) const { harness.find<QAction>(name)->trigger(); }
    void toolbar(const QString& key) const
    {
        auto* bar = harness.find<QToolBar>(Names::tbToolBar);
        QTest::mouseClick(bar->widgetForAction(bar->findChild<QAction*>(key)), Qt::LeftButton);
    }
    void select(int start, int length) const
    {
        QTextCursor cursor = body()->textCursor();
        cursor.setPosition(start);
        cursor.setPosition(start + length, QTextCursor::KeepAnchor);
        body()->setTextCursor(cursor);
    }
    MailEditorCommands& commands() const { return *harness.form().findChild<MailEditorCommands*>(); }
    QList<MessageBoxService::Request> boxes() const { return harness.messageBoxes.requests; }
};

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every kanji of JIS level 1 (code page 932 from 88 9F to 98 72), then hiragana and katakana, forty
// to a line.
QString levelOneKanjiAndKana()
{
    std::string bytes;
    for (int code = 0x889F; code <= 0x9872; ++code) {
        const int trail = code & 0xFF;
        if (trail >= 0x40 && trail <= 0xFC && trail != 0x7F)
            bytes += {char(code >> 8), char(trail)};
    }
    QString characters = Cp932Codec::decode(bytes);
    for (char16_t kana = u'ぁ'; kana <= u'ん'; ++kana)
        characters += QChar(kana);
    for (char16_t kana = u'ァ'; kana <= u'ヶ'; ++kana)
        characters += QChar(kana);
    QString lines;
    for (qsizetype at = 0; at < characters.size(); at += 40)
        lines += characters.mid(at, 40) + u'\n';
    return lines.chopped(1);
}

QString withoutBlanks(QString text) { return text.remove(QRegularExpression(u"\\s"_s)); }

// A 300-line body in 10 point fills this many pages.
constexpr int TallBodyPages = 5;

struct PrintedPdf {
    QString text;
    int pages = 0;
};

// Prints as the print dialog's choice would to a PDF file and reads back its text and page count.
PrintedPdf printToPdf(const QString& whole, const QString& selected, QPrinter::PrintRange range, int copies,
    const QFont& font, int fromPage = 0, int toPage = 0)
{
    QTemporaryDir out;
    const QString pdf = out.filePath(u"printed.pdf"_s);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setPrintRange(range);
    printer.setFromTo(fromPage, toPage);
    TextPrinter::print(printer, whole, selected, font, copies);

    auto run = [](const QString& program, const QStringList& arguments) {
        QProcess process;
        process.start(QStandardPaths::findExecutable(program), arguments);
        process.waitForFinished(300000);
        return QString::fromUtf8(process.readAllStandardOutput());
    };
    PrintedPdf printed;
    printed.text = run(u"pdftotext"_s, {u"-enc"_s, u"UTF-8"_s, pdf, u"-"_s});
    const QRegularExpressionMatch pages =
        QRegularExpression(u"Pages:\\s+(\\d+)"_s).match(run(u"pdfinfo"_s, {pdf}));
    printed.pages = pages.hasMatch() ? pages.captured(1).toInt() : 0;
    return printed;
}

void putFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class EditorTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestProgramFolder> folder_;

private slots:
    void init() { folder_ = std::make_unique<TestProgramFolder>(); }
    void cleanup() { folder_.reset(); }

    void theToolbarHasItsTenButtonsInOrderAboveTheBody()
    {
        Window window(*folder_);
        auto* bar = window.harness.find<QToolBar>(Names::tbToolBar);
        QVERIFY(bar && bar->isVisible());
        const QStringList keys{u"New"_s, u"Open"_s, u"Save"_s, u"Print"_s, u"Cut"_s, u"Copy"_s, u"Paste"_s, u"Bold"_s,
            u"Italic"_s, u"Underline"_s};
        const QStringList tips{u"新規作成"_s, u"開く"_s, u"名前を付けて保存"_s, u"印刷"_s, u"切り取り"_s, u"ｺﾋﾟｰ"_s,
            u"貼り付け"_s, u"太字"_s, u"斜体"_s, u"下線"_s};
        QCOMPARE(bar->actions().size(), 10);
        for (int i = 0; i < 10; ++i) {
            QCOMPARE(bar->actions()[i]->objectName(), keys[i]);
            QCOMPARE(bar->actions()[i]->toolTip(), tips[i]);
            QVERIFY(!bar->actions()[i]->icon().isNull());
        }
        QVERIFY(bar->mapTo(window.harness.form().window(), QPoint(0, bar->height())).y()
            <= window.body()->mapTo(window.harness.form().window(), QPoint(0, 0)).y());
        QCOMPARE(window.harness.find<QLabel>(Names::Label2_1)->text(), u"検索文字"_s);
    }

    void openingAFileEndsItsLastLineAndSavingWritesOneMoreBreak()
    {
        Window window(*folder_);
        const QString opened = folder_->path(u"■TextQuickSave/memo.txt"_s);
        putFile(opened, "\x88\xea\x8d\x73\x96\xda\r\nlast");
        window.harness.fileDialogs.openAnswers = {opened};
        window.toolbar(u"Open"_s);
        QCOMPARE(window.text(), u"一行目\nlast\n"_s);
        QCOMPARE(window.harness.form().windowTitle(), opened);
        QCOMPARE(window.harness.fileDialogs.openFilters, QStringList{u"txtファイル(*.txt,*.ini)|*.txt;*.ini"_s});

        const QString saved = folder_->path(u"■TextQuickSave/saved.txt"_s);
        window.harness.fileDialogs.saveAnswers = {saved};
        // A button keyed "SaveAs" is dispatched like "Save".
        window.commands().runToolbarButton(u"SaveAs"_s);
        QVERIFY(fileBytes(saved).startsWith("Subject:  "));
        QVERIFY(fileBytes(saved).endsWith("last\r\n\r\n"));
        QCOMPARE(window.harness.form().windowTitle(), saved);
        QVERIFY(window.boxes().isEmpty());
    }

    void aUtf8FileOpensReadable()
    {
        Window window(*folder_);
        const QString opened = folder_->path(u"■TextQuickSave/utf8.txt"_s);
        putFile(opened, u"日本語①\r\n"_s.toUtf8());
        window.harness.fileDialogs.openAnswers = {opened};
        window.menu(Names::mopen);
        QCOMPARE(window.text(), u"日本語①\n"_s);
    }

    void aFileThatCannotBeReadOrWrittenIsToldAndTheCaptionStays()
    {
        Window window(*folder_);
        const QString caption = window.harness.form().windowTitle();
        window.harness.fileDialogs.openAnswers = {folder_->path(u"missing.txt"_s)};
        window.menu(Names::mopen);
        window.harness.fileDialogs.saveAnswers = {folder_->path(u"no such folder/x.txt"_s)};
        window.menu(Names::msave);
        QCOMPARE(window.boxes().size(), 2);
        QVERIFY(window.boxes()[0].text.contains(u"missing.txt"_s));
        QVERIFY(window.boxes()[1].text.contains(u"x.txt"_s));
        QCOMPARE(window.boxes()[1].icon, Icon::Critical);
        QCOMPARE(window.harness.form().windowTitle(), caption);
    }

    void savingTheShownMessagePutsTheHeaderAboveTheBodyEvenWhenCancelled()
    {
        Window window(*folder_);
        const QString body = u"本文の一行目\n二行目"_s;
        window.menu(Names::msave); // cancelled
        QCOMPARE(window.text(), headed(Shown, body));
        const QString saved = folder_->path(u"■TextQuickSave/shown.txt"_s);
        window.harness.fileDialogs.saveAnswers = {saved};
        window.toolbar(u"Save"_s);
        QCOMPARE(window.text(), headed(Shown, headed(Shown, body)));
        QCOMPARE(window.harness.fileDialogs.saveConfirmations, (QList<bool>{true, true}));
        QCOMPARE(fileBytes(saved).count("Subject:  "), 2);
        QVERIFY(fileBytes(saved).startsWith("Subject:  \x8c\x8f\x96\xbc\r\nFrom:  sender@example.jp\r\n"));
    }

    void aSaveThatReplacedCharactersSaysSoOnce()
    {
        Window window(*folder_);
        window.body()->setPlainText(u"é and ♥ and 😀"_s);
        const QString saved = folder_->path(u"■TextQuickSave/lossy.txt"_s);
        window.harness.fileDialogs.saveAnswers = {saved};
        window.menu(Names::msave);
        QCOMPARE(window.boxes().size(), 1);
        QVERIFY(window.boxes()[0].text.contains(u"?"_s));
        QVERIFY(fileBytes(saved).contains("? and ? and ?\r\n"));
    }

    void savingAFileWithBytesThatAreNoCharacterSaysSoOnceButAnHonestMiddleDotDoesNot()
    {
        Window window(*folder_);
        const QString broken = folder_->path(u"■TextQuickSave/broken.txt"_s);
        // A lone 0x80 and a lead byte cut by the end of the file.
        putFile(broken, "a\x80" "b\x81\x45\x88");
        const QString honest = folder_->path(u"■TextQuickSave/honest.txt"_s);
        putFile(honest, "a\x81\x45");
        const QString saved = folder_->path(u"■TextQuickSave/saved.txt"_s);

        window.harness.fileDialogs.openAnswers = {broken, honest};
        window.harness.fileDialogs.saveAnswers = {saved, saved, saved};
        window.menu(Names::mopen);
        QCOMPARE(window.text(), u"a・b・・\n"_s);
        window.commands().runToolbarButton(u"SaveAs"_s);
        window.menu(Names::msave);
        QCOMPARE(window.boxes().size(), 1);
        QVERIFY(window.boxes()[0].text.contains(u"「・」"_s));
        QVERIFY(window.boxes()[0].text.contains(saved));
        QCOMPARE(window.boxes()[0].icon, Icon::Exclamation);

        window.menu(Names::mopen);
        window.menu(Names::msave);
        QCOMPARE(window.boxes().size(), 1);
        QVERIFY(fileBytes(saved).endsWith("a\x81\x45\r\n\r\n"));
    }

    void theStyleButtonsSwitchTheWholeBoxOnAndOff()
    {
        Window window(*folder_);
        for (int click = 1; click <= 3; ++click) {
            window.toolbar(u"Bold"_s);
            QCOMPARE(window.body()->font().bold(), click % 2 == 1);
        }
        // The counter of a style alternates between 1 (on) and 2 (off).
        QCOMPARE(window.commands().editor().styleCounter(TextStyle::Bold), 1);
        window.toolbar(u"Italic"_s);
        window.toolbar(u"Underline"_s);
        QVERIFY(window.body()->font().italic());
        QVERIFY(window.body()->font().underline());
    }

    void copyCutAndPasteGoThroughTheClipboard()
    {
        Window window(*folder_);
        window.body()->setPlainText(u"abcdef"_s);
        window.select(3, 0);
        window.harness.clipboard.contents = u"old"_s;
        window.menu(Names::mcopy);
        QCOMPARE(window.harness.clipboard.contents, QString());
        QCOMPARE(window.body()->textCursor().position(), 0);

        window.select(1, 2);
        window.toolbar(u"Copy"_s);
        QCOMPARE(window.harness.clipboard.contents, u"bc"_s);
        QCOMPARE(window.body()->textCursor().position(), 3);
        QVERIFY(!window.body()->textCursor().hasSelection());

        window.select(0, 2);
        window.menu(Names::mcut);
        QCOMPARE(window.harness.clipboard.contents, u"ab"_s);
        QCOMPARE(window.text(), u"cdef"_s);

        window.harness.clipboard.contents = u"　 XY \u3000"_s;
        window.select(1, 1);
        window.toolbar(u"Paste"_s);
        QCOMPARE(window.text(), u"cXYef"_s);
    }

    void onlyTheFirstNewTextEmptiesTheBoxAndWritesItsFile()
    {
        Window window(*folder_);
        window.toolbar(u"New"_s);
        QCOMPARE(window.text(), QString());
        QCOMPARE(window.harness.form().windowTitle(), u"新規作成.TXT      新規作成.TXT"_s);
        QVERIFY(QFileInfo(QDir::current().filePath(u"新規作成.TXT"_s)).isFile());
        QCOMPARE(window.commands().editor().EditorFileName(), u"新規作成.TXT"_s);
        window.body()->setPlainText(u"kept"_s);
        window.menu(Names::mnew);
        QCOMPARE(window.text(), u"kept"_s);
    }

    void printingHandsTheSelectionOrTheWholeBodyInTheBoxFont()
    {
        Window window(*folder_);
        window.toolbar(u"Bold"_s);
        window.harness.fileDialogs.printAnswers = {{2, false}, {1, true}};
        window.menu(Names::mprint);
        window.select(0, 2);
        window.toolbar(u"Print"_s);
        const auto& jobs = window.harness.fileDialogs.printed;
        QCOMPARE(jobs.size(), 2);
        QCOMPARE(jobs[0].wholeText, u"本文の一行目\n二行目"_s);
        QCOMPARE(jobs[0].selectedText, QString());
        QVERIFY(jobs[0].bold);
        QCOMPARE(jobs[0].fontFamily, window.body()->font().family());
        QCOMPARE(jobs[0].pointSize, window.body()->font().pointSizeF());
        QCOMPARE(jobs[1].wholeText, jobs[0].wholeText);
        QCOMPARE(jobs[1].selectedText, u"本文"_s);
    }

    void aPrintedPdfReadsBackAsTheBodyForEveryLevelOneKanjiAndKana()
    {
        if (QStandardPaths::findExecutable(u"pdftotext"_s).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        Window window(*folder_);
        const QString body = levelOneKanjiAndKana();
        QCOMPARE(withoutBlanks(body).size(), 2965 + 83 + 86);
        const PrintedPdf pdf = printToPdf(body, QString(), QPrinter::AllPages, 1, window.body()->font());
        QCOMPARE(withoutBlanks(pdf.text), withoutBlanks(body));
    }

    void printingHonoursTheChosenRangeAndWritesEveryCopyIntoOneFile_data()
    {
        QTest::addColumn<int>("range");
        QTest::addColumn<int>("fromPage");
        QTest::addColumn<int>("toPage");
        QTest::addColumn<int>("copies");
        QTest::addColumn<QStringList>("printed");
        QTest::addColumn<QStringList>("notPrinted");
        QTest::addColumn<int>("pagesPerCopy");
        const int all = TallBodyPages;
        QTest::newRow("all, with text selected") << int(QPrinter::AllPages) << 0 << 0 << 1
                                                 << QStringList{u"行1"_s, u"行300"_s} << QStringList{} << all;
        QTest::newRow("selection") << int(QPrinter::Selection) << 0 << 0 << 1 << QStringList{u"選んだ文"_s}
                                   << QStringList{u"行1"_s} << 1;
        QTest::newRow("page 2 only") << int(QPrinter::PageRange) << 2 << 2 << 1 << QStringList{u"行100"_s}
                                     << QStringList{u"行1\n"_s, u"行300"_s} << 1;
        QTest::newRow("pages 2 to the end") << int(QPrinter::PageRange) << 2 << 99 << 1 << QStringList{u"行300"_s}
                                            << QStringList{u"行1\n"_s} << all - 1;
        QTest::newRow("two copies of all") << int(QPrinter::AllPages) << 0 << 0 << 2 << QStringList{u"行300"_s}
                                           << QStringList{} << all;
        QTest::newRow("two copies of the selection") << int(QPrinter::Selection) << 0 << 0 << 2
                                                     << QStringList{u"選んだ文"_s} << QStringList{u"行1"_s} << 1;
    }

    void printingHonoursTheChosenRangeAndWritesEveryCopyIntoOneFile()
    {
        QFETCH(int, range);
        QFETCH(int, fromPage);
        QFETCH(int, toPage);
        QFETCH(int, copies);
        QFETCH(QStringList, printed);
        QFETCH(QStringList, notPrinted);
        QFETCH(int, pagesPerCopy);
        if (QStandardPaths::findExecutable(u"pdftotext"_s).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        QString body;
        for (int line = 1; line <= 300; ++line)
            body += u"行"_s + QString::number(line) + u'\n';
        QFont font(u"Noto Sans CJK JP"_s);
        font.setPointSize(10);
        const PrintedPdf pdf = printToPdf(body, u"選んだ文"_s, QPrinter::PrintRange(range), copies, font, fromPage, toPage);
        QCOMPARE(pdf.pages, pagesPerCopy * copies);
        for (const QString& text : printed)
            QCOMPARE(pdf.text.count(text + u'\n'), copies);
        for (const QString& text : notPrinted)
            QVERIFY2(!pdf.text.contains(text), qPrintable(text));
    }

    void searchSelectsTheFirstMatchAndSelectAllTheWholeBody()
    {
        Window window(*folder_);
        window.body()->setPlainText(u"abcabc"_s);
        window.box(Names::Text2)->setText(u"ca"_s);
        window.menu(Names::mkensaku);
        QCOMPARE(window.body()->textCursor().selectedText(), u"ca"_s);
        QCOMPARE(window.body()->textCursor().selectionStart(), 2);

        window.select(1, 0);
        window.box(Names::Text2)->setText(u"CA"_s);
        window.menu(Names::mkensaku);
        QCOMPARE(window.body()->textCursor().position(), 1);
        QVERIFY(!window.body()->textCursor().hasSelection());
        QCOMPARE(window.text(), u"abcabc"_s);

        window.menu(Names::mall);
        QCOMPARE(window.body()->textCursor().selectedText(), u"abcabc"_s);
        window.menu(Names::matamajump);
        QCOMPARE(window.body()->textCursor().position(), 0);
        window.menu(Names::mbunmatujump);
        QCOMPARE(window.body()->textCursor().position(), 6);

        window.body()->clear();
        window.menu(Names::mall);
        QVERIFY(!window.body()->textCursor().hasSelection());
        QVERIFY(window.boxes().isEmpty());
    }

    void quickSaveWritesTheShownMessageAndAsksBeforeOverwriting()
    {
        Window window(*folder_);
        window.harness.find<QPushButton>(Names::Command27)->click();
        QCOMPARE(window.boxes().size(), 1);
        QCOMPARE(window.boxes()[0].text, u"データが選択されていません"_s);

        window.box(Names::Text48)->setText(u"1"_s);
        window.box(Names::Text7)->setText(u"abc"_s);
        window.harness.find<QPushButton>(Names::Command27)->click();
        const QString exported = folder_->path(u"■TextQuickSave/abc.txt"_s);
        QVERIFY(fileBytes(exported).startsWith("Subject:  abc\r\nFrom:  sender@example.jp\r\n"));
        QVERIFY(window.text().startsWith(u"Subject:  abc\n"_s));
        QCOMPARE(window.box(Names::Text48)->text(), QString());

        putFile(exported, "old");
        window.box(Names::Text48)->setText(u"1"_s);
        window.harness.messageBoxes.answers = {MessageBoxService::Answer::No};
        window.harness.find<QPushButton>(Names::Command27)->click();
        QCOMPARE(window.boxes().last().text, u"同名のファイルが既に存在します。上書きしますか？ "_s);
        QCOMPARE(window.boxes().last().title, u"確認"_s);
        // Overwriting loses the old file: a stray Enter answers no.
        QCOMPARE(window.boxes().last().defaultAnswer, MessageBoxService::Answer::No);
        QCOMPARE(fileBytes(exported), QByteArray("old"));
        QCOMPARE(window.box(Names::Text48)->text(), QString());
    }

    void quickSaveKeepsAHostileSubjectInsideTheFolderAndNamesAMissingOne()
    {
        Window window(*folder_);
        window.box(Names::Text48)->setText(u"1"_s);
        window.box(Names::Text7)->setText(u"..\\..\\x"_s);
        window.harness.find<QPushButton>(Names::Command27)->click();
        QVERIFY(QFileInfo(folder_->path(u"■TextQuickSave"_s) + u"/_._.._x.txt"_s).isFile());

        QVERIFY(QDir(folder_->path(u"■TextQuickSave"_s)).removeRecursively());
        const QString before = window.text();
        window.box(Names::Text48)->setText(u"1"_s);
        window.harness.find<QPushButton>(Names::Command27)->click();
        QVERIFY(window.boxes().last().text.contains(u"■TextQuickSave"_s));
        QCOMPARE(window.text(), before);
    }

    void movingOverAViewFieldFillsTheCopyBoxWhichTheCopyButtonCopies()
    {
        Window window(*folder_);
        QLineEdit* sender = window.box(Names::Text8);
        QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), sender->mapToGlobal(QPointF(5, 5)), Qt::NoButton,
            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(sender, &move);
        QCOMPARE(window.box(Names::Text49)->text(), Shown.from);
        window.harness.find<QPushButton>(Names::Command35)->click();
        QCOMPARE(window.harness.clipboard.contents, Shown.from);
    }
};

NEMUROA_QTEST_SUITE(EditorTest)
#include "EditorTest.moc"
