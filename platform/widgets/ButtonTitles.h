#pragma once

#include <QString>

// The titles of the buttons that alerts and panels share, in the user's language. The
// application controller supplies them; without one (a window tested on its own) the default
// texts stand.
class ButtonTitles
{
  public:
    static QString confirm();
    static QString cancel();
    static QString save();
    // The confirm button of a panel that chooses a folder.
    static QString choose();

    virtual QString confirmButtonTitle() = 0;
    virtual QString cancelButtonTitle() = 0;
    virtual QString saveButtonTitle() = 0;
    virtual QString chooseButtonTitle() = 0;

  protected:
    ButtonTitles();
    virtual ~ButtonTitles();
    ButtonTitles(const ButtonTitles &) = delete;
    ButtonTitles &operator=(const ButtonTitles &) = delete;
};
