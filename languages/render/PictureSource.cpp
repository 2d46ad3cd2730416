#include "languages/render/PictureSource.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace quillbox::render {
namespace {

// Sixteen bytes a line, as hexadecimal literals.
QByteArray byteList(const QByteArray& bytes) {
    QByteArray out;
    out.reserve(bytes.size() * 6);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        out += (i % 16 == 0) ? "\n    " : " ";
        out += "0x";
        out += QByteArray::number(static_cast<unsigned char>(bytes[i]), 16).rightJustified(2, '0');
        out += ',';
    }
    return out;
}

}  // namespace

QString writePictureSource(const QString& path, const QList<EncodedPicture>& pictures,
                           const QString& captionsPath) {
    QByteArray text;
    text +=
        "// The button pictures of one language module, drawn by quillbox-render-pictures\n"
        "// from " +
        (QFileInfo(captionsPath).dir().dirName() + "/" + QFileInfo(captionsPath).fileName())
            .toUtf8() +
        ". Generated at build time; edit the captions or the\n"
        "// renderer, not this file.\n\n"
        "#include \"languages/LanguageModule.h\"\n\n"
        "namespace quillbox::languages {\nnamespace {\n";
    for (qsizetype i = 0; i < pictures.size(); ++i) {
        text += "\nconstexpr unsigned char kPicture" + QByteArray::number(i) + "[] = {" +
                byteList(pictures[i].png) + "\n};\n";
    }
    text += "\nconstexpr LanguagePicture kPictures[] = {\n";
    for (qsizetype i = 0; i < pictures.size(); ++i) {
        text += "    {\"" + pictures[i].name.toLatin1() + "\", kPicture" + QByteArray::number(i) +
                "},\n";
    }
    text +=
        "};\n\n}  // namespace\n\n"
        "std::span<const LanguagePicture> languagePictures() {\n    return kPictures;\n}\n\n"
        "}  // namespace quillbox::languages\n";

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        return path + ": " + file.errorString();
    }
    return {};
}

}  // namespace quillbox::render
