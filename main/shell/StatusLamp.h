#pragma once

#include <QWidget>

namespace vx::shell {

// Colour values of the lamps as the handlers set and test them: the
// 0x00BBGGRR form, so 65280 is green and 255 is red.
inline constexpr int kLampGreen = 65280;
inline constexpr int kLampRed = 255;

// A status lamp: a filled shape whose fill colour is the state it shows.
class StatusLamp : public QWidget {
    Q_OBJECT
    // A property, so that a window's form can set it.
    Q_PROPERTY(Shape shape READ shape WRITE setShape)
public:
    enum class Shape { Circle, Rectangle, RoundedSquare };
    Q_ENUM(Shape)

    explicit StatusLamp(QWidget* parent = nullptr) : StatusLamp(Shape::Circle, parent) {}
    explicit StatusLamp(Shape shape, QWidget* parent = nullptr);

    int fillColor() const { return fillColor_; }
    void setFillColor(int colorValue);
    bool isGreen() const { return fillColor_ == kLampGreen; }

    Shape shape() const { return shape_; }
    void setShape(Shape shape);
    QSize sizeHint() const override;

Q_SIGNALS:
    // The fill colour became `colorValue`; setting the colour it already has
    // changes nothing and says nothing.
    void fillColorChanged(int colorValue);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Shape shape_;
    int fillColor_ = kLampRed;
};

// 0x00BBGGRR colour value to a QColor.
QColor colorFromValue(int value);

}  // namespace vx::shell
