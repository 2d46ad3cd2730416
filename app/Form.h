#pragma once
// TForm1, the program's one window: the device picture with one screen panel
// on its display area, the overlays, the timers and the program-wide state.
// The class is split by concern: FormStartup.cpp (creation, start-up timers,
// command line), FormSkin.cpp (scale, placement, button layout, screen change
// and fade, clock), FormLanguage.cpp (language pictures, texts and character
// set), FormOverlays.cpp (message box, hourglass, copy box, cancel), and
// FormControls.cpp (controls made from the design table, lookup by name).

#include <QRegion>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/LanguageTables.h"
#include "app/OpmlTransfer.h"
#include "app/TimerService.h"
#include "common/BookTypes.h"
#include "common/HostObjects.h"
#include "common/RSSTypes.h"
#include "common/SystemTypes.h"

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QProgressBar;
class QSystemTrayIcon;

namespace quillbox::app {

class ImageControl;
class PanelControl;
class QtApplication;
class QtProgressBar;
class QtLabel;

// The local date and time, refreshed on each full minute.
struct TClock {
    std::uint16_t Year = 0;
    std::uint16_t Month = 0;
    std::uint16_t Day = 0;
    std::uint16_t Hour = 0;
    std::uint16_t Minute = 0;
    std::uint16_t Second = 0;
};

struct StartOptions {
    QStringList arguments;       // the command line after the program's name
    double scale = 0;            // 0: the screen's pixels per inch over 96
    QSize screenSize;            // empty: the primary screen's
    std::string languageFolder;  // empty: Language/ beside the program
    std::string dataFolder;      // empty: platform::dataFolder()
    // Shows a system message box; tests record the texts instead.
    std::function<void(const QString& title, const QString& text)> messageBox;
    // Whether the desktop has a notification area; unset: ask the desktop.
    std::optional<bool> trayAvailable;
};

// Round: to the nearest integer, halves to the even neighbour.
int roundEven(double value);
// The window's geometry for a scale and a screen, as the window computes it.
struct Geometry {
    int PanelWidth = 0;
    int PanelHeight = 0;
    int ScreenOffsetX = 0;
    int ScreenOffsetY = 0;
    int ImageLeft = 0;
    int ImageTop = 0;
    int ImageWidth = 0;
    int ImageHeight = 0;
};
Geometry geometryFor(double scale, QSize screen);

class TForm1 : public QWidget {
    Q_OBJECT
  public:
    explicit TForm1(StartOptions options);
    ~TForm1() override;
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    // A control by its name; null when there is none.
    QWidget* control(std::string_view name) const;
    ImageControl* image(std::string_view name) const;
    PanelControl* panel(std::string_view name) const;
    QLabel* label(std::string_view name) const;

    // Start-up.
    void FormCreate();
    void StartUpTimerTimer();
    void StartMenuTimerTimer();
    // True when the create handler found no language and the program must end.
    bool ending() const { return m_ending; }

    // Skin, scaling and the screen change.
    void placePanels();
    void SetImages();
    void SetScreenPanel(QWidget* panel);
    void ColorTimerTimer();
    void TimeTimerTimer();

    // Languages.
    int ReadLanguageDir();
    bool LoadLanguageResource(const std::string& path);
    // A language string (1..55) as Unicode text in the current character set.
    QString languageString(int id) const;

    // Overlays. ErrorText holds the message ShowError shows, in the
    // language's code page; showMessage shows Unicode text the same way.
    void ShowError();
    void showMessage(const QString& text);
    void ShowHourglass();
    void HideHourglass();
    void ShowCopyPanel(const QString& name);
    void HideCopyPanel();
    // Asks the library operation under way to stop (Escape on an overlay,
    // closing the program).
    void cancelOperation();
    // Runs a long operation as every screen does: with the window disabled
    // and a fresh stop flag. A close asked meanwhile stops the operation and
    // takes effect once it has returned.
    void runOperation(const std::function<void()>& work);
    bool operationRunning() const { return m_operations > 0; }
    // How often the lists were saved for the end of the program (once).
    int exitSaves() const { return m_exitSaves; }

    // The main menu and navigation.
    void hoverButton(std::string_view frame, QWidget* button);
    void QuillboxImageMouseMove();
    void MPSelectImgClick();
    void APSelectImgClick();
    // The screens' frame clicks, as far as their actions exist: the way back.
    void RSSSelectImgClick();
    void BSPSelectImgClick();
    void BPSelectImgClick();
    void SPSelectImgClick();
    void APLeftImgClick();
    void APRightImgClick();
    void prepareHelpPage1();
    void openSettings(int fromMenu);
    void fillBalance();
    // The bookshelf screen (FormShelves.cpp): the account's shelves ten to a
    // page, the choice of a shelf, the update from the store.
    void connectShelfScreen();
    void BookShelfInfoBar();
    void redrawShelfList();
    void BSPLeftImgClick();
    void BSPRightImgClick();
    void BSPListBoxMouseDown(int y);
    void updateBookShelves();
    // Brings the library up to date from the store with UserData and keeps
    // the chosen shelf consistent with the library that results. Sets and
    // returns LibraryResult.
    std::uint8_t updateLibraryFromStore();
    // Takes the chosen shelf afresh from the library (after a rebuild): the
    // shelf with the same Id and Name, or none, and then the book screen, if
    // shown, gives way to the bookshelf screen.
    void takeShelfAfresh();
    // The library's own record of the chosen shelf; null when there is none.
    TBookShelf* chosenLibraryShelf();
    // The book screen (FormBooks.cpp): the chosen shelf's books ten to a page
    // with their marks and check boxes, and the actions on the ticked books.
    void connectBookScreen();
    void BookInfoBar();
    int BookLastPage() const;
    void redrawBookList();
    void clearBookRowControls();
    void BPLeftImgClick();
    void BPRightImgClick();
    // mode 1: to the computer's Books/ folder; mode 0: to folder (a reader's
    // root, "E:/"), leaving the window disabled for the caller.
    void Download(const std::string& folder, int mode);
    void DeleteFileFromComp();
    // The settings screen (FormSettings.cpp). The period choosers keep their
    // values here until Save copies them into SystemInfo.
    void connectSettingsScreen();
    void SPUpdateRSSCBClick();
    void SPUpdateBSCBClick();
    void SPUpdateRSSLeftImgClick();
    void SPUpdateRSSRightImgClick();
    void SPUpdateBSLeftImgClick();
    void SPUpdateBSRightImgClick();
    void SPUseProxyCBClick();
    void SPLangLeftImgClick();
    void SPLangRightImgClick();
    void saveSettings();
    void cancelSettings();
    int SettingsRSSPeriod = 1;
    int SettingsBSPeriod = 1;
    // The automatic updates (FormAutoUpdate.cpp).
    void UpdateTimerTimer();
    // Copying to and deleting from the reader (FormBookCopy.cpp).
    void saveBooksToReader();
    void DeleteFileFromDevice();
    // The ticked book of a row (1..10) of the page shown; null when the row is
    // not ticked or lies past the shelf's last book.
    TBook* tickedBook(int row);
    void RSSInfoBar();
    // The news screen (FormNews.cpp): its list ten to a page, paging, adding
    // through the edit, deleting the selected rows.
    void connectNewsScreen();
    int RSSLastPage() const;
    void clampRSSPage();
    void redrawRSSList();
    void RSSLeftImgClick();
    void RSSRightImgClick();
    void RSSListBoxClick();
    void RSSAddClick();
    // Returns true when the key was taken (Escape, Enter).
    bool RSSEditKeyPress(int key);
    void RSSEditExit();
    void AddRSS();
    void RSSDeleteClick();
    // Updating and saving the news (FormNewsSave.cpp).
    void RSSUpdateClick();
    void RSSSaveClick();
    // Turns the news into one FB2 file: the RSS library's converter, which a
    // test may replace.
    std::function<std::uint8_t(TRSSList*, const char*, const char*, char*)> ConvertNews;
    // Reader detection (FormReader.cpp).
    void CopyTimerTimer();
    std::array<bool, 26> ReaderMarkSeen{};
    // Feeds and dates shared by the menu, the news screen and the timers.
    void UpdateAllRSS();
    void SaveUpdateRSSDate();
    void SaveUpdateBookShelfDate();
    void ViewUpdateData();
    // Dragging the device picture (positions within the picture).
    void QuillboxImageMouseDown(QPoint at);
    void QuillboxImageMouseMoveWhileDown(QPoint at);
    void QuillboxImageMouseUp();
    // The notification area.
    void AddTrayIcon();
    void HideClick();
    void N1Click();
    void N3Click();
    void N2Click();
    void trayActivated(int reason);
    // Shows the window in front of the others: from the notification area as
    // its Show command does, or raised when it is already shown.
    void bringToFront();
    // OPML (FormOpml.cpp): an import into the list (saved at once when it
    // grew) and an export of it; the answer to a second start's request line
    // ("show", "auto", "import-opml FILE", "export-opml FILE").
    OpmlOutcome importOpml(const QString& file);
    OpmlOutcome exportOpml(const QString& file);
    QString instanceMessage(const QString& line);
    QMenu* PopupMenu1 = nullptr;
    QAction* N1 = nullptr;
    QAction* N2 = nullptr;
    QAction* N3 = nullptr;
    // Whether the window is busy: an operation, a fade or a message.
    bool busy() const;
    bool trayAvailable() const;

    QtApplication& application() { return *m_application; }
    // ProgressBar1 and Label19 as the libraries see them, for the copy box.
    TProgressBar* progressBar() const;
    TLabel* percentLabel() const;

    // Program-wide state.
    double Scale = 1.0;
    int PanelWidth = 0;
    int PanelHeight = 0;
    int ScreenOffsetX = 0;
    int ScreenOffsetY = 0;
    int ImageLeft = 0;
    int ImageTop = 0;
    QWidget* CurrentPanel = nullptr;
    int ColorLevel = 255;
    bool FadeIn = false;
    TClock Clock;
    bool Restored = false;
    bool StartMenuArmed = false;
    int ReaderDrive = 0;
    int BookShelfPage = 0;
    // The chosen shelf: a copy of the library's record (sharing its books),
    // its row on the page it was chosen from, and its place in the library.
    TBookShelf CurrentShelf{};
    int CurrentShelfRow = 0;
    int CurrentShelfIndex = -1;
    std::uint8_t LibraryResult = 0;
    // The book screen's row controls: three marks a row, then the check boxes.
    std::array<ImageControl*, 30> BookMarkImages{};
    std::array<QCheckBox*, 10> BookCheckBoxes{};
    int BookPage = 0;
    int RSSPage = 0;
    bool DragActive = false;
    int DragX = 0;
    int DragY = 0;
    int SettingsFromMenu = 1;
    TUserData UserData{};
    char ErrorText[501] = {};
    bool ErrorWaiting = false;
    LanguageTables Languages;
    int ChosenLanguage = -1;
    TSystemInfo SystemInfo{};
    std::unique_ptr<TRSSList> RSSList;
    std::unique_ptr<TBookLibrary> Library;
    std::unique_ptr<TMoney> Money;

    WindowTimer StartUpTimer;
    WindowTimer ColorTimer;
    WindowTimer StartMenuTimer;
    WindowTimer TimeTimer;
    WindowTimer UpdateTimer;
    WindowTimer CopyTimer;
    WindowTimer ErrorTimer;

    // Where the program keeps its data (RSS/, BookLibrary/, ...), trailing '/'.
    const std::string& dataFolder() const { return m_dataFolder; }
    // The texts of the system message boxes shown so far.
    const QStringList& messagesShown() const { return m_messagesShown; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void createControls();
    void connectControls();
    void createTray();
    void placeScreens();
    void hideFrames();
    void fitHelpText(QLabel* text, int width);
    void runWhenIdle(const std::function<void()>& action);
    std::string languageDirectory() const;
    void applyPictures(const LanguageModule& module);
    void applyTexts();
    void showSystemMessage(const QString& title, const QString& text);
    void updateInputMask();
    void saveOnExit();
    void runStartUpCommand();
    void showPeriodLabels();
    void setLabelText(std::string_view name, const QString& text);
    // Loads the language of a used slot in 1..25 other than the one loaded.
    void switchLanguage(int slot);
    // Deletes the file of a book below folder (the computer's Books/ or a
    // reader's root); true when it is gone afterwards. root must be there.
    static bool removeBookFile(const std::string& folder, const std::string& root,
                               const TBook& book);
    // The delete actions: the ticked books with flag lose their file below
    // folder, and the flag with it.
    void deleteTickedBooks(const std::string& folder, const std::string& root, std::uint16_t flag);

    StartOptions m_options;
    std::string m_dataFolder;
    std::map<std::string, QWidget*, std::less<>> m_controls;
    std::unique_ptr<QtApplication> m_application;
    std::unique_ptr<QtProgressBar> m_progress;
    std::unique_ptr<QtLabel> m_percent;
    QStringList m_messagesShown;
    bool m_ending = false;
    bool m_saved = false;
    int m_exitSaves = 0;
    int m_operations = 0;
    bool m_closeAfterOperation = false;
    std::function<void()> m_afterOperation;
    QSystemTrayIcon* m_tray = nullptr;
    bool m_noTrayShown = false;
    QRegion m_deviceRegion;
    bool m_userDataLoaded = true;          // the settings screen read the stored account
    QStringList m_accountShown;            // the account edits' texts as the screen opened
    std::vector<QObject*> m_hoverTargets;  // buttons and frames: moves over them keep a frame
};

}  // namespace quillbox::app
