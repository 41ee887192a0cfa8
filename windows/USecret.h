#pragma once
// TFrmSecret: the hidden picture window. Its picture is cut to a heart-shaped
// outline when shown; Esc closes it with the result OK.

#include <QDialog>
#include <QPoint>
#include <QPolygon>

#include <array>

class QLabel;

namespace phonebook {

// The window and its picture in design pixels (DesignPixels).
inline constexpr int SecretWidth = 536;
inline constexpr int SecretHeight = 327;
inline constexpr int SecretPictureWidth = 527;
inline constexpr int SecretPictureHeight = 299;

// The heart-shaped outline in the window's design pixels; the first and the last
// vertex coincide and the outline does not cross itself.
inline constexpr std::array<QPoint, 55> ShapedPicturePolygon = {{
    {232, 217}, {198, 167}, {196, 162}, {194, 157}, {193, 154}, {193, 152}, {192, 150},
    {192, 145}, {191, 143}, {191, 132}, {192, 129}, {194, 122}, {196, 116}, {199, 112},
    {204, 107}, {208, 104}, {212, 102}, {218, 101}, {226, 101}, {248, 101}, {253, 101},
    {258, 104}, {264, 108}, {268, 111}, {276, 105}, {283, 102}, {290, 100}, {294, 100},
    {304, 100}, {307, 100}, {310, 102}, {314, 102}, {317, 102}, {322, 105}, {328, 110},
    {333, 116}, {335, 121}, {337, 129}, {337, 139}, {336, 147}, {334, 154}, {331, 160},
    {325, 170}, {317, 180}, {311, 188}, {289, 217}, {281, 227}, {275, 233}, {267, 241},
    {262, 247}, {258, 251}, {255, 250}, {253, 249}, {248, 241}, {232, 217},
}};

// The area the outline encloses, as the window's visible and clickable
// region, its design pixels multiplied by `scale`.
QRegion ShapedPictureRegion(qreal scale = 1);

class TFrmSecret : public QDialog {
    Q_OBJECT

public:
    // Builds the window, not yet cut to the outline; it is shown with exec().
    explicit TFrmSecret(QWidget *parent = nullptr);
    ~TFrmSecret() override;

    QLabel &Image1() const { return *m_image; }

public slots:
    // Esc closes the window with the result OK.
    void reject() override;

protected:
    // A change of the font scales the window anew.
    void changeEvent(QEvent *event) override;
    // Centres the window on the screen and cuts it to the outline.
    void showEvent(QShowEvent *event) override;

private:
    void arrange();

    QLabel *m_image = nullptr;
};

// The one hidden picture window, while it exists.
extern TFrmSecret *FrmSecret;

} // namespace phonebook
