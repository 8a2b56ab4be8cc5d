#include "support/widgets/TestSheets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QtTest>

namespace TestSheets {
namespace {
// A button's title as the user reads it, without its mnemonic mark.
QString title(const QAbstractButton *button)
{
    return QString(button->text()).remove(u'&');
}

// Looks before it waits, so that a timeout of 0 finds what is showing now.
template <typename T> T *waitFor(int timeout)
{
    T *found = nullptr;
    const auto showing = [&] {
        for (QWidget *widget : QApplication::topLevelWidgets())
            if ((found = qobject_cast<T *>(widget)) && found->isVisible())
                return true;
        found = nullptr;
        return false;
    };
    return showing() || QTest::qWaitFor(showing, timeout) ? found : nullptr;
}
} // namespace

QMessageBox *waitForAlert(int timeout)
{
    return waitFor<QMessageBox>(timeout);
}

QFileDialog *waitForPanel(int timeout)
{
    return waitFor<QFileDialog>(timeout);
}

QStringList buttonTitles(const QMessageBox *alert)
{
    QStringList titles;
    for (QAbstractButton *button : alert->buttons())
        titles << title(button);
    titles.sort();
    return titles;
}

bool click(QMessageBox *alert, const QString &buttonTitle)
{
    for (QAbstractButton *button : alert ? alert->buttons() : QList<QAbstractButton *>())
        if (title(button) == buttonTitle) {
            button->click();
            return true;
        }
    return false;
}

void choose(QFileDialog *panel, const QString &path)
{
    if (!panel)
        return;
    panel->selectFile(path);
    QMetaObject::invokeMethod(panel, "accept");
}

bool waitForKeyboard(const QWidget *window, int timeout)
{
    const QPointer<const QWidget> waited(window);
    return waited && QTest::qWaitFor(
                         [&] {
                             return waited && QApplication::activeWindow() == waited &&
                                    QGuiApplication::focusWindow() == waited->windowHandle();
                         },
                         timeout);
}
} // namespace TestSheets
