// The window's creation and start-up: the create handler in its order, the
// start-up timer with the command line, the start-menu timer that leaves the
// splash for the menu, and the one save at the end.

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <cstdio>
#include <cstring>

#include "app/Controls.h"
#include "app/Form.h"
#include "app/ProgramLog.h"
#include "app/QtHost.h"
#include "contracts/Book.h"
#include "contracts/Hostkit.h"
#include "contracts/RSS.h"
#include "platform/ProgramFolder.h"

namespace quillbox::app {
namespace {

constexpr int kBookRows = 10;

TForm1* g_window = nullptr;

// The Book library's messages (windows-1251), shown in the window's own
// message box whatever the interface language's code page.
void showBookMessage(const char* text) {
    if (g_window != nullptr && text != nullptr) {
        g_window->showMessage(fromCharset(text, 204));
    }
}

double screenScale() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->logicalDotsPerInchX() / 96.0 : 1.0;
}

QSize screenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry().size() : QSize(1024, 768);
}

}  // namespace

TForm1::TForm1(StartOptions options)
    : QWidget(nullptr, Qt::FramelessWindowHint),
      RSSList(std::make_unique<TRSSList>()),
      Library(std::make_unique<TBookLibrary>()),
      Money(std::make_unique<TMoney>()),
      StartUpTimer(100, false, [this] { StartUpTimerTimer(); }),
      ColorTimer(15, false, [this] { ColorTimerTimer(); }),
      StartMenuTimer(1000, false, [this] { StartMenuTimerTimer(); }),
      TimeTimer(50, false, [this] { TimeTimerTimer(); }),
      UpdateTimer(30057, true, [this] { UpdateTimerTimer(); }),
      CopyTimer(1102, true, [this] { CopyTimerTimer(); }),
      ErrorTimer(2000, false,
                 [this] {
                     ErrorWaiting = false;
                     ErrorTimer.setEnabled(false);
                 }),
      m_options(std::move(options)),
      m_application(std::make_unique<QtApplication>()) {
    ConvertNews = &ConvertRSSListToFb2;
    std::memset(RSSList.get(), 0, sizeof(TRSSList));
    std::memset(Library.get(), 0, sizeof(TBookLibrary));
    std::memset(Money.get(), 0, sizeof(TMoney));
    m_dataFolder = m_options.dataFolder.empty() ? platform::dataFolder() : m_options.dataFolder;
    if (!m_dataFolder.empty() && m_dataFolder.back() != '/') {
        m_dataFolder += '/';
    }
    setWindowTitle(QStringLiteral("Form1"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAcceptDrops(true);  // OPML files dropped on the news screen
    g_window = this;
    SetBookHost(m_application.get(), &showBookMessage);
    qApp->installEventFilter(this);
    // Logging out or shutting down ends the program like a close.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this] { close(); });
    FormCreate();
}

TForm1::~TForm1() {
    saveOnExit();
    SetBookHost(nullptr, nullptr);
    if (g_window == this) {
        g_window = nullptr;
    }
    DeleteRSSList(RSSList.get());
    DeleteBookLibrary(Library.get());
}

void TForm1::FormCreate() {
    // 1-2: scale, the device picture, the screens and the list boxes.
    Scale = m_options.scale > 0 ? m_options.scale : screenScale();
    const QSize screen = m_options.screenSize.isEmpty() ? screenSize() : m_options.screenSize;
    const Geometry geometry = geometryFor(Scale, screen);
    PanelWidth = geometry.PanelWidth;
    PanelHeight = geometry.PanelHeight;
    ScreenOffsetX = geometry.ScreenOffsetX;
    ScreenOffsetY = geometry.ScreenOffsetY;
    ImageLeft = geometry.ImageLeft;
    ImageTop = geometry.ImageTop;
    resize(screen);
    createControls();
    // The message and copy boxes show while an operation has the window
    // disabled; their texts keep their normal colour so they stay readable.
    for (std::string_view name : {"ErrorPanel", "CopyPanel"}) {
        for (QLabel* text :
             control(name) != nullptr ? control(name)->findChildren<QLabel*>() : QList<QLabel*>()) {
            QPalette palette = text->palette();
            palette.setColor(QPalette::Disabled, QPalette::WindowText,
                             palette.color(QPalette::Active, QPalette::WindowText));
            text->setPalette(palette);
        }
    }
    m_progress =
        std::make_unique<QtProgressBar>(qobject_cast<QProgressBar*>(control("ProgressBar1")));
    m_percent = std::make_unique<QtLabel>(label("Label19"));
    placePanels();

    // 3-6: the money record, the feed list, the book library, the pages.
    std::memset(Money.get(), 0, sizeof(TMoney));
    LoadRSSListFromFile((m_dataFolder + "RSS/").c_str(), "RSS.list", RSSList.get(), 1, 0);
    Library->ShelfCount = 0;
    LoadBookLibraryFromFile(Library.get(), Money.get(), (m_dataFolder + "BookLibrary/").c_str(),
                            "BookShelfs", "Books", true);
    RSSPage = 0;
    BookShelfPage = 0;
    BookPage = 0;
    ReaderDrive = 0;
    Restored = false;

    // 7-8: the tray icon, present from the start, and its menu.
    createTray();
    AddTrayIcon();
    N1->setEnabled(false);

    // 9: the languages. Without one the program ends here, before anything
    // that reads the language tables.
    if (ReadLanguageDir() == 0) {
        showSystemMessage(QStringLiteral("Error!"),
                          QStringLiteral("No language find, please download language libraries!"));
        m_ending = true;
        return;
    }

    // 10-12: the settings and the language to use.
    LoadSystemInfo(&SystemInfo);
    const auto installed = [this](int slot) {
        return slot >= 1 && slot <= kLanguageSlots && !Languages.LanguageNames[slot].empty();
    };
    int slot = SystemInfo.Language;
    if (!installed(slot)) {
        // -1, a slot whose library is gone, or a value that is no slot.
        for (int candidate = 1; candidate <= kLanguageSlots; ++candidate) {
            if (installed(candidate)) {
                slot = candidate;
                break;
            }
        }
    }
    SystemInfo.Language = slot;
    ChosenLanguage = slot;
    if (installed(slot)) {
        LoadLanguageResource(languageDirectory() + Languages.LanguageFiles[slot]);
    }

    // 13: the book screen's row controls: three marks and a check box a row.
    QWidget* books = control("BookPanel");
    const std::string_view templates[] = {"Image48", "Image49", "Image50"};
    const int lefts[] = {280, 304, 328};
    for (int row = 1; row <= kBookRows && books != nullptr; ++row) {
        const int top = roundEven((33 * row + 7) * Scale);
        for (int mark = 0; mark < 3; ++mark) {
            auto* image = new ImageControl(books);
            const ImageControl* model = this->image(templates[mark]);
            image->setObjectName(QStringLiteral("BookMark%1_%2").arg(row).arg(mark + 1));
            if (model != nullptr) {
                image->setPicture(model->picture());
                image->setToolTip(model->toolTip());
            }
            image->move(roundEven(lefts[mark] * Scale), top);
            image->hide();
            BookMarkImages[static_cast<std::size_t>(3 * (row - 1) + mark)] = image;
        }
        auto* box = new QCheckBox(books);
        box->setObjectName(QStringLiteral("BookCheckBox%1").arg(row));
        box->setGeometry(roundEven(5 * Scale), top, roundEven(17 * Scale), roundEven(17 * Scale));
        box->setChecked(false);
        box->hide();
        BookCheckBoxes[static_cast<std::size_t>(row - 1)] = box;
    }

    // 14: the start-up timer, and the buttons laid out around their pictures.
    StartUpTimer.setEnabled(true);
    SetImages();
    connectControls();
}

void TForm1::StartUpTimerTimer() {
    StartUpTimer.setEnabled(false);
    const QStringList& arguments = m_options.arguments;
    const QString first = arguments.value(0);
    if (first == QStringLiteral("show") && arguments.value(1) == QStringLiteral("about")) {
        showSystemMessage(QStringLiteral("Quillbox"),
                          QStringLiteral("Quillbox v 2.1\nNews and books for your e-book reader."));
        showSystemMessage(QStringLiteral("Quillbox"),
                          QStringLiteral("Made by the Quillbox developers.\n"
                                         "Questions and ideas are welcome."));
        close();
        QCoreApplication::quit();
        return;
    }
    if (first == QStringLiteral("auto")) {
        // Straight to the notification area, with the clock running so the
        // automatic updates work from their first tick.
        hide();
        TimeTimer.setEnabled(true);
        return;
    }
    showMaximized();
    SetScreenPanel(control("TomeportPanel"));
    StartMenuArmed = false;
    StartMenuTimer.setEnabled(true);
}

void TForm1::StartMenuTimerTimer() {
    if (StartMenuArmed) {
        move(0, 0);
        showMaximized();
        StartMenuTimer.setEnabled(false);
        TimeTimer.setEnabled(true);
        ViewUpdateData();
        SetScreenPanel(control("MenuPanel"));
    }
    StartMenuArmed = true;
}

void TForm1::showSystemMessage(const QString& title, const QString& text) {
    m_messagesShown.push_back(text);
    if (m_options.messageBox) {
        m_options.messageBox(title, text);
        return;
    }
    const bool error = title == QStringLiteral("Error!");
    QMessageBox box(error ? QMessageBox::Critical : QMessageBox::Information, title, text,
                    QMessageBox::Ok, this);
    box.exec();
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (m_operations > 0) {
        // Stop what runs; the close takes effect when it has returned.
        cancelOperation();
        m_closeAfterOperation = true;
        event->ignore();
        return;
    }
    saveOnExit();
    QWidget::closeEvent(event);
}

void TForm1::saveOnExit() {
    // Whatever ends the program (menu, tray, window manager, logout, a
    // signal), the lists are written once.
    if (m_saved || m_ending) {
        return;
    }
    m_saved = true;
    ++m_exitSaves;
    const bool feeds =
        SaveRSSListToFile((m_dataFolder + "RSS/RSS.list").c_str(), RSSList.get(), 0) == kRssOk;
    const bool books =
        SaveBookLibraryToFile(Library.get(), Money.get(), (m_dataFolder + "BookLibrary/").c_str(),
                              "BookShelfs", "Books") == kBookFilesDone;
    if (feeds && books) {
        return;
    }
    const char* text = !feeds && !books ? "The feed list and the book library could not be saved."
                       : !feeds         ? "The feed list could not be saved."
                                        : "The book library could not be saved.";
    std::fprintf(stderr, "quillbox: %s (%s)\n", text, m_dataFolder.c_str());
    logError(std::string(text) + " (" + m_dataFolder + ")");
    if (isVisible()) {
        showMessage(QString::fromUtf8(text));
    }
}

}  // namespace quillbox::app
