#pragma once
// Every modal question and every file or folder dialog goes through one
// DialogService. The program uses real dialogs; tests install a
// ScriptedDialogs that answers from a queue and records what was asked.

#include <QFont>
#include <QString>
#include <QStringList>

#include <deque>
#include <memory>
#include <vector>

class QWidget;

namespace stillora {

class DialogService {
public:
    enum Kind { Information, Warning, Error, Confirmation, Plain };
    enum Button { NoButton = 0, Ok = 1, Yes = 2, No = 4, Cancel = 8 };

    virtual ~DialogService() = default;

    // Shows a message box with the given buttons (an OR of Button values)
    // and returns the button pressed. Closing the box counts as Cancel, or
    // No, or Ok, whichever of them is offered first.
    virtual Button message(Kind kind, const QString& caption, const QString& text, int buttons,
                           QWidget* parent = nullptr) = 0;
    // File and folder dialogs; an empty result means the user cancelled.
    virtual QString openFile(const QString& title, const QString& startPath, const QString& filter,
                             QWidget* parent = nullptr) = 0;
    virtual QString saveFile(const QString& title, const QString& startPath, const QString& filter,
                             QString* selectedFilter = nullptr, QWidget* parent = nullptr) = 0;
    virtual QString pickFolder(const QString& title, const QString& startPath,
                               QWidget* parent = nullptr) = 0;
    // Font picker; returns false when cancelled (font unchanged).
    virtual bool pickFont(QFont& font, QWidget* parent = nullptr) = 0;
    // Opens a document (a web page, a file) with the desktop's default application.
    virtual void openDocument(const QString& path) = 0;
};

// The service the program uses; real dialogs unless replaced.
DialogService& Dialogs();
// Replaces the service (tests); pass nullptr to go back to real dialogs.
void SetDialogs(std::unique_ptr<DialogService> service);

// Scripted answers for tests.
class ScriptedDialogs : public DialogService {
public:
    struct Asked {
        Kind kind;
        QString caption;
        QString text;
        int buttons;
    };

    // Answers for message boxes, used in order; when none is left a box
    // answers with its first offered button of Ok, Yes, No, Cancel.
    std::deque<Button> answers;
    // Answers for file, folder and font dialogs, used in order ("" cancels).
    std::deque<QString> paths;
    std::deque<QFont> fonts; // empty: the font dialog is cancelled
    std::vector<Asked> asked;
    std::vector<QString> dialogTitles;
    std::vector<QString> openedDocuments;

    Button message(Kind kind, const QString& caption, const QString& text, int buttons,
                   QWidget* parent = nullptr) override;
    QString openFile(const QString& title, const QString& startPath, const QString& filter,
                     QWidget* parent = nullptr) override;
    QString saveFile(const QString& title, const QString& startPath, const QString& filter,
                     QString* selectedFilter = nullptr, QWidget* parent = nullptr) override;
    QString pickFolder(const QString& title, const QString& startPath, QWidget* parent = nullptr) override;
    bool pickFont(QFont& font, QWidget* parent = nullptr) override;
    void openDocument(const QString& path) override { openedDocuments.push_back(path); }

    // Texts of every message asked, in order.
    QStringList texts() const;

private:
    QString nextPath(const QString& title);
};

} // namespace stillora
