#include "ui/settings_form.hpp"

#include <cmath>

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QTextBlock>
#include <QTextLayout>
#include <QVBoxLayout>

#include "ui/ui_style.hpp"

namespace lf::ui {

FormSection::FormSection(const QString& title, QWidget* parent) : QGroupBox(title, parent) {
    if (!title.isEmpty()) setAccessibleName(title);
    form_ = new QFormLayout(this);
    form_->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form_->setRowWrapPolicy(QFormLayout::DontWrapRows);
    form_->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form_->setHorizontalSpacing(10);
    form_->setVerticalSpacing(8);
}

QLineEdit* FormSection::addTextField(const QString& label, const QString& placeholder) {
    auto* field = new QLineEdit(this);
    field->setPlaceholderText(placeholder);
    field->setAccessibleName(label);
    field->setClearButtonEnabled(false);
    auto* caption = new QLabel(label, this);
    caption->setBuddy(field);
    form_->addRow(caption, field);
    return field;
}

QLineEdit* FormSection::addSecureField(const QString& label) {
    QLineEdit* field = addTextField(label);
    field->setEchoMode(QLineEdit::Password);
    return field;
}

void FormSection::addFullRow(QWidget* widget) { form_->addRow(widget); }

Stepper::Stepper(int minimum, int maximum, int step, QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    label_ = new QLabel(this);
    spin_ = new QSpinBox(this);
    spin_->setRange(minimum, maximum);
    spin_->setSingleStep(step);
    spin_->setKeyboardTracking(false);
    spin_->setAlignment(Qt::AlignRight);
    spin_->setMinimumWidth(spin_->fontMetrics().horizontalAdvance(QString::number(maximum)) + 44);
    label_->setBuddy(spin_);
    layout->addWidget(label_, 1);
    layout->addWidget(spin_);
    connect(spin_, &QSpinBox::valueChanged, this, [this](int value) {
        if (!settingValue_) emit valueEdited(value);
    });
}

void Stepper::setValue(int value) {
    settingValue_ = true;
    spin_->setValue(value);
    settingValue_ = false;
}

int Stepper::value() const { return spin_->value(); }

void Stepper::setLabel(const QString& text) {
    label_->setText(text);
    spin_->setAccessibleName(text);
}

LabeledSlider::LabeledSlider(int minimum, int maximum, int step, const QString& lowEnd, const QString& highEnd,
                             QWidget* parent)
    : QWidget(parent), minimum_(minimum), step_(step) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    label_ = new QLabel(this);
    layout->addWidget(label_);
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    // The slider counts steps, so dragging it can only land on values the setting allows.
    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setRange(0, (maximum - minimum) / step);
    slider_->setSingleStep(1);
    slider_->setPageStep(qMax(1, 10 / step));
    label_->setBuddy(slider_);
    if (!lowEnd.isEmpty()) {
        auto* low = new QLabel(lowEnd, this);
        style::makeSecondary(low);
        style::makeCaption(low);
        row->addWidget(low);
    }
    row->addWidget(slider_, 1);
    if (!highEnd.isEmpty()) {
        auto* high = new QLabel(highEnd, this);
        style::makeSecondary(high);
        style::makeCaption(high);
        row->addWidget(high);
    }
    layout->addLayout(row);
    connect(slider_, &QSlider::valueChanged, this, [this](int) {
        if (!settingValue_) emit valueEdited(value());
    });
}

void LabeledSlider::setValue(int value) {
    settingValue_ = true;
    slider_->setValue((value - minimum_ + step_ / 2) / step_);
    settingValue_ = false;
}

int LabeledSlider::value() const { return minimum_ + slider_->value() * step_; }

void LabeledSlider::setLabel(const QString& text) {
    label_->setText(text);
    slider_->setAccessibleName(text);
}

GrowingTextEdit::GrowingTextEdit(QWidget* parent) : QPlainTextEdit(parent) {
    setTabChangesFocus(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(this, &QPlainTextEdit::textChanged, this, &GrowingTextEdit::fitHeight);
    fitHeight();
}

int GrowingTextEdit::heightForLines(int lines) const {
    const int margins = contentsMargins().top() + contentsMargins().bottom() + 2 * frameWidth() +
                        2 * static_cast<int>(std::ceil(document()->documentMargin()));
    return lines * fontMetrics().lineSpacing() + margins + 2;
}

void GrowingTextEdit::fitHeight() {
    // Count the lines as the text wraps at the box's current width, paragraph by paragraph.
    const qreal width = viewport()->width() - 2 * document()->documentMargin();
    int lines = 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        QTextLayout layout(block.text(), font());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        int blockLines = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(qMax<qreal>(width, 10));
            ++blockLines;
        }
        layout.endLayout();
        lines += qMax(1, blockLines);
    }
    const int height = heightForLines(qBound(2, lines, 6));
    if (height != this->height()) setFixedHeight(height);
    // Up to six lines everything is in view; beyond, the box scrolls.
    setVerticalScrollBarPolicy(lines > 6 ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

void GrowingTextEdit::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    // A new width wraps the text anew; the layout has its lines once the event loop comes back.
    QMetaObject::invokeMethod(this, &GrowingTextEdit::fitHeight, Qt::QueuedConnection);
}

QSize GrowingTextEdit::sizeHint() const { return {QPlainTextEdit::sizeHint().width(), height()}; }

QSize GrowingTextEdit::minimumSizeHint() const { return {60, heightForLines(2)}; }

}  // namespace lf::ui
