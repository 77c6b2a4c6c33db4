#include "app/RealSeams.h"

#include "app/AppTitle.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>

namespace {
// "\r\n" in a message is a line break.
QString displayText(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return t;
}

void showBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    QMessageBox box(icon, AppTitle(), displayText(text), QMessageBox::Ok, parent);
    // Texts may come from the network or from files: never rich text.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace

void QtPrompts::Message(QWidget* parent, const QString& text) {
    showBox(parent, QMessageBox::NoIcon, text);
}

void QtPrompts::Error(QWidget* parent, const QString& text) {
    showBox(parent, QMessageBox::Critical, text);
}

bool QtPrompts::Question(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Warning, AppTitle(), displayText(text),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setTextFormat(Qt::PlainText);
    // Going on is the operator's deliberate choice, never Enter's.
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString QtPrompts::startFolder() const {
    return !lastFolder_.isEmpty() && QDir(lastFolder_).exists() ? lastFolder_ : QDir::homePath();
}

QString QtPrompts::runFileDialog(QWidget* parent, const FileDialog& d, bool save) {
    // The folder chosen last, for as long as the program runs (it keeps no
    // settings between runs); the home folder before that, or when the last
    // one has gone since.
    QFileDialog dialog(parent, d.title, startFolder(), d.filter);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(d.defaultSuffix);
    dialog.selectFile(d.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    const QString path = dialog.selectedFiles().first();
    lastFolder_ = QFileInfo(path).absolutePath();
    return path;
}

QString QtPrompts::OpenFile(QWidget* parent, const FileDialog& d) {
    return runFileDialog(parent, d, false);
}

QString QtPrompts::SaveFile(QWidget* parent, const FileDialog& d) {
    return runFileDialog(parent, d, true);
}

QString QtPrompts::ChooseFolder(QWidget* parent, const QString& title) {
    QFileDialog dialog(parent, title, startFolder());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    lastFolder_ = dialog.selectedFiles().first();
    return lastFolder_;
}

bool DesktopPlatform::StartProcess(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}

bool DesktopPlatform::OpenUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

QString DesktopPlatform::FindProgram(const QString& name) {
    return QStandardPaths::findExecutable(name);
}
