// The automatic updates: every tick of UpdateTimer, while no other action
// runs, the feeds and then the bookshelves are updated when their switch is on
// and their last update is older than their period. A failed update records
// no time, so the next tick tries again.

#include <string>

#include "app/Form.h"
#include "app/ProgramLog.h"
#include "app/UpdateSchedule.h"
#include "contracts/Book.h"
#include "contracts/Hostkit.h"

namespace quillbox::app {

void TForm1::UpdateTimerTimer() {
    if (!isEnabled()) {
        return;  // another action runs
    }
    if (Clock.Year == 0) {
        TimeTimerTimer();  // the clock has not ticked yet: read it now
    }
    const TStamp now{Clock.Year, Clock.Month, Clock.Day, Clock.Hour, Clock.Minute};
    ShowHourglass();
    runOperation([this, &now] {
        LoadSystemInfo(&SystemInfo);
        if (SystemInfo.AutoUpdateRSS && updateDue(SystemInfo.LastRSSUpdate, now,
                                                  rssPeriodMinutes(SystemInfo.RSSUpdatePeriod))) {
            logInfo("automatic update of the feeds");
            UpdateAllRSS();
        }
        if (!SystemInfo.AutoUpdateBookShelfs) {
            return;
        }
        LibraryResult = 0;
        if (updateDue(SystemInfo.LastBookShelfUpdate, now,
                      shelfPeriodMinutes(SystemInfo.BookShelfUpdatePeriod))) {
            LoadUserData(&UserData);
            if (UserData.Login.Length != 0) {
                logInfo("automatic update of the bookshelves");
                updateLibraryFromStore();
            }
        }
        // Silent whatever the outcome; a new library is written at once.
        if (LibraryResult == kBookUpdateDone) {
            SaveUpdateBookShelfDate();
            SaveBookLibraryToFile(Library.get(), Money.get(),
                                  (m_dataFolder + "BookLibrary/").c_str(), "BookShelfs", "Books");
            ViewUpdateData();
        }
    });
    HideHourglass();
}

}  // namespace quillbox::app
