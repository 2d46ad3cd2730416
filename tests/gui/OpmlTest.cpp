// OPML while the window runs: a file dropped on the news screen, and the
// import and export requests a second start hands over. The list on the
// screen and the stored one agree after every import.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QUrl>
#include <cstring>

#include "common/FixedText.h"
#include "contracts/RSS.h"
#include "tests/gui/WindowFixture.h"

namespace quillbox::test {
namespace {

using app::TForm1;

std::string opml(const std::vector<std::string>& addresses) {
    std::string text = "<?xml version=\"1.0\"?>\n<opml version=\"2.0\"><head/><body>";
    for (const std::string& address : addresses) {
        text += "<outline type=\"rss\" text=\"t\" xmlUrl=\"" + address + "\"/>";
    }
    return text + "</body></opml>\n";
}

int storedCount(const std::string& dataFolder) {
    TRSSList list{};
    std::memset(static_cast<void*>(&list), 0, sizeof list);
    LoadRSSListFromFile((dataFolder + "RSS/").c_str(), "RSS.list", &list, 1, 0);
    const int count = list.Count;
    DeleteRSSList(&list);
    return count;
}

// Drags the files over the window and drops them; returns whether the
// window took the drag.
bool drop(TForm1& window, const QStringList& files) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& file : files) {
        urls << QUrl::fromLocalFile(file);
    }
    data.setUrls(urls);
    const QPoint at(window.width() / 2, window.height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &dropped);
    return true;
}

using OpmlWindowTest = WindowTest;

TEST_F(OpmlWindowTest, AFileDroppedOnTheNewsScreenIsImportedAndStoredAtOnce) {
    TForm1& window = toMenu();
    const std::string file = m_data.file("feeds.opml");
    writeFile(file, opml({"http://a.example/rss", "http://b.example/rss", "http://a.example/rss"}));
    EXPECT_FALSE(drop(window, {QString::fromStdString(file)}));  // the menu takes no drop
    window.SetScreenPanel(window.control("RSSPanel"));
    EXPECT_FALSE(drop(window, {QString::fromStdString(m_data.file("notes.txt"))}));
    ASSERT_TRUE(drop(window, {QString::fromStdString(file)}));
    EXPECT_EQ(window.RSSList->Count, 2);
    EXPECT_EQ(storedCount(m_data.path()), 2);
    EXPECT_EQ(window.messagesShown().size(), 0);  // shown in the window's own box
    EXPECT_EQ(window.label("RSSPagesL")->text(), QStringLiteral("1-2 of 2"));
}

TEST_F(OpmlWindowTest, ASecondStartsRequestsAreAnsweredAndRefusedWhileBusy) {
    TForm1& window = toMenu();
    const std::string in = m_data.file("in.opml");
    const std::string page = m_data.file("page.opml");
    const std::string out = m_data.file("out.opml");
    writeFile(in, opml({"http://a.example/rss", "http://b.example/rss"}));
    writeFile(page, "<html><body>not a feed list</body></html>");
    struct Case {
        std::string line;
        const char* replyStart;
    };
    for (const Case& c :
         {Case{"import-opml " + in, "ok Imported from "},
          Case{"import-opml " + in, "ok Imported from "}, Case{"import-opml " + page, "failed "},
          Case{"export-opml " + out, "ok 2 feed(s) exported"}, Case{"show", "ok"},
          Case{"auto", "ok"}}) {
        const QString reply = window.instanceMessage(QString::fromStdString(c.line));
        EXPECT_TRUE(reply.startsWith(QString::fromUtf8(c.replyStart)))
            << c.line << ": " << reply.toStdString();
    }
    EXPECT_EQ(window.RSSList->Count, 2);
    EXPECT_NE(readFile(out).find("xmlUrl=\"http://b.example/rss\""), std::string::npos);
    QString busy;
    window.runOperation(
        [&] { busy = window.instanceMessage(QString::fromStdString("import-opml " + in)); });
    EXPECT_TRUE(busy.startsWith(QStringLiteral("failed Quillbox is busy")));
}

}  // namespace
}  // namespace quillbox::test
