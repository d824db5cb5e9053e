#include "platform/message_box_interaction.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

namespace gearloft {

QString MessageBoxHtml(const QString& text) {
    // A quoted name ('...') is a path or a file name: it goes on a line of
    // its own, with the punctuation that follows it, in a block that is never
    // wrapped, so the box shows it whole instead of breaking it at a space,
    // a hyphen or a slash in the middle of a name.
    static const QRegularExpression quoted(QStringLiteral("'[^'\n]+'[!?.,;:)]*"));
    const auto plain = [](const QString& part) {
        return part.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    };
    QString html;
    // Every part is a block of its own: inline text after a block would
    // join it.
    const auto addPlain = [&](QString part) {
        if (part.startsWith(QLatin1Char('\n')) || part.startsWith(QLatin1Char(' '))) {
            part.remove(0, 1);
        }
        if (part.endsWith(QLatin1Char(' '))) {
            part.chop(1);
        }
        if (!part.isEmpty()) {
            html += QStringLiteral("<div>") + plain(part) + QStringLiteral("</div>");
        }
    };
    qsizetype done = 0;
    for (auto it = quoted.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        addPlain(text.mid(done, match.capturedStart() - done));
        html += QStringLiteral("<div style=\"white-space:pre\">") +
                match.captured(0).toHtmlEscaped() + QStringLiteral("</div>");
        done = match.capturedEnd();
    }
    addPlain(text.mid(done));
    return html;
}

void MessageBoxInteraction::ShowMessage(const QString& text, MessageIcon icon) {
    QMessageBox box(icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::Information,
                    QStringLiteral("Gearloft"), QString(), QMessageBox::Ok);
    box.setTextFormat(Qt::RichText);
    box.setText(MessageBoxHtml(text));
    box.exec();
}

void MessageBoxInteraction::Beep() {
    QApplication::beep();
}

ChangedFileAnswer MessageBoxInteraction::AskAboutChangedFile(const QString& path) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Gearloft"), QString(),
                    QMessageBox::NoButton);
    box.setTextFormat(Qt::RichText);
    box.setText(MessageBoxHtml(
        QStringLiteral("The level file '%1' has been changed on disk since Gearloft loaded "
                       "it.\nOverwrite it with your changes, reload it and lose your changes, "
                       "or cancel and keep editing?")
            .arg(path)));
    QPushButton* overwrite = box.addButton(QStringLiteral("&Overwrite"), QMessageBox::AcceptRole);
    QPushButton* reload = box.addButton(QStringLiteral("&Reload"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == overwrite) {
        return ChangedFileAnswer::Overwrite;
    }
    if (box.clickedButton() == reload) {
        return ChangedFileAnswer::Reload;
    }
    return ChangedFileAnswer::Cancel;
}

}  // namespace gearloft
