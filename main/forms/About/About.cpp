#include "forms/About/About.h"

#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>

namespace vx::forms {

namespace {

constexpr auto kVersionText = "Version: 1.0.3   9/22/2016";
constexpr auto kMakerText =
    "Velmora Corporation.\r\n"
    "Copyright (c) 2016. All rights reserved.";

// Sizes in pixels at 96 dots per inch.
constexpr QSize kClientSize{314, 222};
constexpr QSize kLogoSize{200, 38};
constexpr QSize kShapeSize{265, 89};
constexpr QSize kLabelSize{249, 17};
constexpr QSize kTextSize{249, 41};
constexpr QSize kButtonSize{97, 33};
constexpr QColor kTextBackground{224, 224, 224};

// The Velmora logo: a blue band with a stylised "V" trace and the name.
QPixmap velmoraLogo() {
    QPixmap logo(kLogoSize);
    logo.fill(Qt::white);
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient band(0, 0, kLogoSize.width(), 0);
    band.setColorAt(0, QColor(10, 50, 120));
    band.setColorAt(1, QColor(40, 110, 200));
    painter.setPen(Qt::NoPen);
    painter.setBrush(band);
    painter.drawRoundedRect(QRectF(0.5, 0.5, kLogoSize.width() - 1, kLogoSize.height() - 1), 5, 5);
    painter.setPen(QPen(QColor(120, 230, 120), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(QPolygonF({QPointF(8, 10), QPointF(18, 29), QPointF(28, 10)}));
    painter.setPen(Qt::white);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(22);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    painter.setFont(font);
    painter.drawText(QRect(36, 0, kLogoSize.width() - 40, kLogoSize.height()),
                     Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("VELMORA"));
    return logo;
}

}  // namespace

About::About(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("About"));
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    connect(CloseBtn, &QPushButton::clicked, this, &About::CloseBtn_Click);
    Form_Load();
}

void About::buildControls() {
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(kLogoSize);
    Image1->setPixmap(velmoraLogo());

    // The window's small dialog font; Qt falls back to a similar face where
    // "MS Sans Serif" is not installed.
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));

    Shape1 = new QFrame(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setFrameShape(QFrame::Box);
    Shape1->setFixedSize(kShapeSize);

    Label1 = new QLabel(QStringLiteral("Version"), Shape1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFixedSize(kLabelSize);

    Text1 = new QPlainTextEdit(Shape1);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setReadOnly(true);
    Text1->setFixedSize(kTextSize);
    Text1->setFrameShape(QFrame::NoFrame);
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Text1->document()->setDocumentMargin(2);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette grey = Text1->palette();
    grey.setColor(QPalette::Base, kTextBackground);
    Text1->setPalette(grey);

    auto* shapeLayout = new QVBoxLayout(Shape1);
    shapeLayout->setContentsMargins(8, 8, 8, 8);
    shapeLayout->setSpacing(15);
    shapeLayout->addWidget(Label1);
    shapeLayout->addWidget(Text1);

    CloseBtn = new QPushButton(QStringLiteral("OK"), this);
    CloseBtn->setObjectName(QStringLiteral("CloseBtn"));
    CloseBtn->setFixedSize(kButtonSize);
    CloseBtn->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 16, 24, 13);
    layout->setSpacing(15);
    layout->addWidget(Image1, 0, Qt::AlignHCenter);
    layout->addWidget(Shape1, 0, Qt::AlignHCenter);
    layout->addWidget(CloseBtn, 0, Qt::AlignHCenter);
    setFixedSize(kClientSize);
}

void About::Form_Load() {
    Text1->setPlainText(QString::fromLatin1(kMakerText));
    Label1->setText(QString::fromLatin1(kVersionText));
}

void About::CloseBtn_Click() {
    close();
}

}  // namespace vx::forms
