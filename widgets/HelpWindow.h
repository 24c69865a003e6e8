#pragma once
// The help window: the user manual, kept in the program's resources as HTML, in a browser; F1
// anywhere opens it at the section of the window it was pressed in.

#include <QSet>
#include <QString>
#include <QWidget>

class QTextBrowser;

namespace velmora {

class HelpWindow : public QWidget {
    Q_OBJECT

  public:
    // Where the manual lives in the resources.
    static constexpr const char* kManualUrl = "qrc:/manual/index.html";

    // Opens the manual at section (an anchor of the manual; "" for its beginning), creating the
    // window on first use, and brings it to the front. While a modal dialog is up the window
    // opens over it, so that it can be read and scrolled. Call on the UI thread.
    static HelpWindow* showSection(const QString& section);
    // The open help window, or null.
    static HelpWindow* instance();
    // Destroys the help window (at the end of the program).
    static void destroyInstance();

    // The section for a key pressed in widget: the object name of the nearest window around it
    // that the manual has a section for ("" when none has).
    static QString sectionFor(const QWidget* widget);
    // Lets F1 open the help, in every window of the application. Call once.
    static void installHelpKey();

    // The anchors of the manual's sections.
    static const QSet<QString>& sections();

    QTextBrowser* browser() const { return browser_; }
    QString currentSection() const { return section_; }

  private:
    HelpWindow();
    void open(const QString& section);

    QTextBrowser* browser_ = nullptr;
    QString section_;
};

}  // namespace velmora
