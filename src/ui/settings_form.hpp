#pragma once
// The building blocks of the settings tabs: a titled section holding a form, a stepper with its
// changing label, a slider with its label and end words, and a text box that grows with its text.
// They carry no settings knowledge; the tabs bind them to the store.
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QWidget>

class QFormLayout;
class QLabel;
class QLineEdit;
class QSlider;
class QSpinBox;
class QVBoxLayout;

namespace lf::ui {

// A section of a grouped form; without a title it is a plain group.
class FormSection : public QGroupBox {
    Q_OBJECT
public:
    FormSection(const QString& title, QWidget* parent);
    QFormLayout* form() const { return form_; }

    // A labelled text field; its accessible name is the label.
    QLineEdit* addTextField(const QString& label, const QString& placeholder = {});
    // A labelled field whose text is hidden as it is typed.
    QLineEdit* addSecureField(const QString& label);
    // A row spanning both columns.
    void addFullRow(QWidget* widget);

private:
    QFormLayout* form_;
};

// A number with a label that says what it means ("Thumbnails: 220 px") and − / + stepping.
class Stepper : public QWidget {
    Q_OBJECT
public:
    Stepper(int minimum, int maximum, int step, QWidget* parent);
    void setValue(int value);
    int value() const;
    void setLabel(const QString& text);
    QLabel* label() const { return label_; }
    QSpinBox* spinBox() const { return spin_; }

signals:
    // The person changed the value (not emitted by setValue).
    void valueEdited(int value);

private:
    QLabel* label_;
    QSpinBox* spin_;
    bool settingValue_ = false;
};

// A slider under its label, optionally with words at both ends ("Smaller" … "Sharper"). The slider
// moves in steps; the value is always a whole number of steps from the minimum.
class LabeledSlider : public QWidget {
    Q_OBJECT
public:
    LabeledSlider(int minimum, int maximum, int step, const QString& lowEnd, const QString& highEnd, QWidget* parent);
    void setValue(int value);
    void setLabel(const QString& text);
    QLabel* label() const { return label_; }
    QSlider* slider() const { return slider_; }
    int value() const;

signals:
    void valueEdited(int value);

private:
    int minimum_;
    int step_;
    QLabel* label_;
    QSlider* slider_;
    bool settingValue_ = false;
};

// A plain text box that is two lines high when empty and grows with its text up to six lines.
class GrowingTextEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit GrowingTextEdit(QWidget* parent);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitHeight();
    int heightForLines(int lines) const;
};

}  // namespace lf::ui
