#include "views/DialogService.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QUrl>

namespace stillora {

namespace {

class RealDialogs : public DialogService {
public:
    Button message(Kind kind, const QString& caption, const QString& text, int buttons,
                   QWidget* parent) override {
        QMessageBox box(parent ? parent : QApplication::activeWindow());
        box.setWindowTitle(caption.isEmpty() ? QApplication::applicationDisplayName() : caption);
        box.setText(text);
        switch (kind) {
        case Information: box.setIcon(QMessageBox::Information); break;
        case Warning: box.setIcon(QMessageBox::Warning); break;
        case Error: box.setIcon(QMessageBox::Critical); break;
        case Confirmation: box.setIcon(QMessageBox::Question); break;
        case Plain: box.setIcon(QMessageBox::NoIcon); break;
        }
        QMessageBox::StandardButtons standard;
        if (buttons & Yes) standard |= QMessageBox::Yes;
        if (buttons & No) standard |= QMessageBox::No;
        if (buttons & Ok) standard |= QMessageBox::Ok;
        if (buttons & Cancel) standard |= QMessageBox::Cancel;
        if (!standard) standard = QMessageBox::Ok;
        box.setStandardButtons(standard);
        switch (box.exec()) {
        case QMessageBox::Yes: return Yes;
        case QMessageBox::No: return No;
        case QMessageBox::Ok: return Ok;
        default: return Cancel;
        }
    }
    QString openFile(const QString& title, const QString& startPath, const QString& filter,
                     QWidget* parent) override {
        return QFileDialog::getOpenFileName(parent, title, startPath, filter);
    }
    QString saveFile(const QString& title, const QString& startPath, const QString& filter,
                     QString* selectedFilter, QWidget* parent) override {
        return QFileDialog::getSaveFileName(parent, title, startPath, filter, selectedFilter);
    }
    QString pickFolder(const QString& title, const QString& startPath, QWidget* parent) override {
        return QFileDialog::getExistingDirectory(parent, title, startPath);
    }
    bool pickFont(QFont& font, QWidget* parent) override {
        bool ok = false;
        const QFont chosen = QFontDialog::getFont(&ok, font, parent);
        if (ok) font = chosen;
        return ok;
    }
    void openDocument(const QString& path) override {
        QDesktopServices::openUrl(QUrl::fromUserInput(path));
    }
};

std::unique_ptr<DialogService>& current() {
    static std::unique_ptr<DialogService> service;
    return service;
}

} // namespace

DialogService& Dialogs() {
    if (!current()) current() = std::make_unique<RealDialogs>();
    return *current();
}

void SetDialogs(std::unique_ptr<DialogService> service) { current() = std::move(service); }

DialogService::Button ScriptedDialogs::message(Kind kind, const QString& caption, const QString& text,
                                               int buttons, QWidget*) {
    asked.push_back({kind, caption, text, buttons});
    if (!answers.empty()) {
        const Button answer = answers.front();
        answers.pop_front();
        return answer;
    }
    for (Button b : {Ok, Yes, No, Cancel})
        if (buttons & b) return b;
    return Ok;
}

QString ScriptedDialogs::nextPath(const QString& title) {
    dialogTitles.push_back(title);
    if (paths.empty()) return {};
    QString path = paths.front();
    paths.pop_front();
    return path;
}

QString ScriptedDialogs::openFile(const QString& title, const QString&, const QString&, QWidget*) {
    return nextPath(title);
}

QString ScriptedDialogs::saveFile(const QString& title, const QString&, const QString&, QString*,
                                  QWidget*) {
    return nextPath(title);
}

QString ScriptedDialogs::pickFolder(const QString& title, const QString&, QWidget*) {
    return nextPath(title);
}

bool ScriptedDialogs::pickFont(QFont& font, QWidget*) {
    dialogTitles.push_back(QStringLiteral("Font"));
    if (fonts.empty()) return false;
    font = fonts.front();
    fonts.pop_front();
    return true;
}

QStringList ScriptedDialogs::texts() const {
    QStringList result;
    for (const auto& a : asked) result << a.text;
    return result;
}

} // namespace stillora
