#pragma once

#include <QList>
#include <QObject>
#include <QSet>

class LamePrefs;
class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QTabWidget;
class QWidget;

// The settings window: shows every encoder setting and writes each change into the store the
// moment the user makes it, so there is nothing to confirm or cancel. One action method serves
// each group of controls and dispatches on the sending control's tag; every group but the filters
// has a restore button that puts it back to its factory values, those of DefaultPrefs.plist. The
// window is loaded once, filled from the store (repairing the settings that must hold one of a
// few values), and only hidden when closed.
class PreferencesWindow : public QObject
{
    Q_OBJECT

  public:
    // The settings window of `owner`, loaded on first use, brought to the front; nullptr when its
    // description cannot be loaded.
    static PreferencesWindow *showWindow(LamePrefs *owner);
    // Loads the "Preferences" description and fills its controls. When the description cannot be
    // read, or lacks a control the window needs, window() is nullptr.
    explicit PreferencesWindow(LamePrefs *owner);
    ~PreferencesWindow() override;

    QWidget *window() const { return prefsWindow; }

    // The restore buttons' action; the sender's tag names the group.
    void restoreDefaults(QObject *sender);

    // The tab view's two moments: before a tab is shown the window grows if the tab needs more
    // height, after it is shown the window shrinks if the tab needs less.
    void tabViewWillSelect(int index);
    void tabViewDidSelect(int index);

    // Writes what is typed but not yet written in the text fields.
    void commitEditing();

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    bool findOutlets();
    void connectControls();
    void awakeFromNib();
    void change(int group, QObject *sender);
    void showSetting(int group, int index);
    void setControl(int group, int index, const QVariant &value);
    void applyCoupling(int group, int index, int value);
    int contentHeight(int index) const;
    int warningHeight() const;
    void showSaveState();
    void showBitRateMode();
    void showAllSettings();
    // The quality entry the settings match, or "Custom".
    void showQuality();
    void chooseQuality();
    void writeNamePattern();
    void fitPagesTo(int index);
    void resizeContent(int height);

    LamePrefs *owner;
    QWidget *prefsWindow = nullptr;
    QTabWidget *windowTabs = nullptr;
    QButtonGroup *deemphasisCells = nullptr;
    // Above the tabs: the quality in plain words, and the pattern batches name their files by.
    QComboBox *quality = nullptr;
    QLineEdit *namePattern = nullptr;
    // Says, below the tabs, that the settings cannot be saved; hidden while they can.
    QLabel *saveWarning = nullptr;
    // The controls of each group, in tag order (the control with tag t at t - 1).
    QList<QList<QWidget *>> controls;
    // The tab whose will-select moment has run ahead of its switch (a click on the tab bar).
    int announcedTab = -1;
    // Set while the program itself moves a control, so that only the user's changes write.
    bool quiet = false;
    // The text controls the user has typed into since their value was last written.
    QSet<QWidget *> edited;
};
