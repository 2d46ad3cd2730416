// quillbox-render-pictures: draws the button pictures of one language from its
// captions file and writes them as PNG files plus the C++ source that carries
// them into the language module. Runs at build time on the offscreen platform.
//
//   quillbox-render-pictures --captions <file> --output <folder> --source <file.cpp>
//                            [--sheet <file.png>]

#include <QBuffer>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTextStream>

#include "languages/render/ButtonPainter.h"
#include "languages/render/CaptionsFile.h"
#include "languages/render/ContactSheet.h"
#include "languages/render/PictureSource.h"
#include "languages/render/PictureTable.h"

namespace {

using namespace quillbox::render;

int fail(const QString& message) {
    QTextStream(stderr) << "quillbox-render-pictures: " << message << Qt::endl;
    return 1;
}

QString fromView(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Draws the button pictures of one language.");
    parser.addHelpOption();
    const QCommandLineOption captionsOption("captions", "Captions file (name TAB caption).",
                                            "file");
    const QCommandLineOption outputOption("output", "Folder for the PNG files.", "folder");
    const QCommandLineOption sourceOption("source", "C++ source to write.", "file");
    const QCommandLineOption sheetOption("sheet", "Contact sheet PNG to write.", "file");
    parser.addOptions({captionsOption, outputOption, sourceOption, sheetOption});
    parser.process(app);
    if (!parser.isSet(captionsOption) || !parser.isSet(outputOption) ||
        !parser.isSet(sourceOption)) {
        return fail("--captions, --output and --source are required");
    }

    const Captions captions = readCaptions(parser.value(captionsOption));
    if (!captions.error.isEmpty()) {
        return fail(captions.error);
    }
    const QDir output(parser.value(outputOption));
    if (!output.mkpath(".")) {
        return fail(output.path() + ": cannot create the folder");
    }

    QList<EncodedPicture> encoded;
    QList<SheetEntry> sheet;
    for (const PictureEntry& entry : kPictureTable) {
        const QString name = fromView(entry.name);
        QFile svg(":/pictograms/" + fromView(entry.pictogram));
        if (!svg.open(QIODevice::ReadOnly)) {
            return fail(name + ": no pictogram " + fromView(entry.pictogram));
        }
        const PaintedButton button = paintButton(entry, captions.byName.value(name), svg.readAll());
        if (button.image.isNull()) {
            return fail(button.error);
        }
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!button.image.save(&buffer, "PNG")) {
            return fail(name + ": PNG encoding failed");
        }
        QFile file(output.filePath(name + ".png"));
        if (!file.open(QIODevice::WriteOnly) || file.write(png) != png.size()) {
            return fail(file.fileName() + ": " + file.errorString());
        }
        encoded.append({name, png});
        sheet.append({name, button.image});
    }

    const QString error =
        writePictureSource(parser.value(sourceOption), encoded, parser.value(captionsOption));
    if (!error.isEmpty()) {
        return fail(error);
    }
    if (parser.isSet(sheetOption) && !contactSheet(sheet).save(parser.value(sheetOption), "PNG")) {
        return fail(parser.value(sheetOption) + ": cannot write the contact sheet");
    }
    return 0;
}
