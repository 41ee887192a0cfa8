#pragma once
// TFrmAbout: the borderless about window. The picture at the left; to its
// right the title, the owner, the version, the rights, the owner's full name
// and the e-mail address as a link; "ОК" at the bottom right. "ОК", Enter and
// Esc close it with the result OK.

#include <QDialog>
#include <QList>
#include <QStringView>

class QLabel;
class QPushButton;

namespace phonebook {

class LinkLabel;

inline constexpr QStringView AboutTitle = u"Телефонный справочник";
inline constexpr QStringView AboutOwner = u"Тальмирская ГТС";
inline constexpr QStringView AboutVersion = u"Версия 2.0";
inline constexpr QStringView AboutRights = u"© 2002. Все права защищены.";
inline constexpr QStringView AboutOwnerName = u"Городская телефонная сеть г.\u00A0Тальмир";
inline constexpr QStringView AboutEmailLabel = u"e-mail: ";
inline constexpr QStringView AboutEmail = u"spravka@gts-talmir.example";
inline constexpr QStringView AboutMailSubject = u"Пожелания";

// The window and its picture in design pixels (DesignPixels).
inline constexpr int AboutWidth = 350;
inline constexpr int AboutHeight = 174;
inline constexpr int AboutPictureWidth = 127;
inline constexpr int AboutPictureHeight = 168;

class TFrmAbout : public QDialog {
    Q_OBJECT

public:
    // Builds the window and centres it on the screen; it is shown with exec().
    explicit TFrmAbout(QWidget *parent = nullptr);
    ~TFrmAbout() override;

    QLabel &Image1() const { return *m_image; }
    LinkLabel &LabelEmail() const { return *m_email; }
    QPushButton &Button1() const { return *m_ok; }

    // A click on the address: the desktop's mail program opens a letter to
    // it; when none can, a message gives the address instead.
    void LabelEmailClick();

public slots:
    // Esc closes the window with the result OK, as "ОК" does.
    void reject() override;

protected:
    // A change of the font lays the window out anew.
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    // The picture is read when the window is first shown, not at start-up.
    void showEvent(QShowEvent *event) override;

private:
    // Places the controls in the design's pixels scaled to the font
    // (DesignPixels), the window growing where a text needs more.
    void arrange();

    QLabel *m_image = nullptr;
    QList<QLabel *> m_lines; // Label1 to Label6
    LinkLabel *m_email = nullptr;
    QPushButton *m_ok = nullptr;
};

// The one about window, while it exists.
extern TFrmAbout *FrmAbout;

} // namespace phonebook
