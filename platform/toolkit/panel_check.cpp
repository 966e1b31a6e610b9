#include "panel_check.h"

#include <QRect>
#include <QSet>
#include <QWidget>
#include <QXmlStreamReader>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

namespace qtor {

namespace {

// Far beyond any screen, far below where layout arithmetic overflows.
constexpr double kMaxPixels = 10000;
constexpr int kMaxCells = 1000;
constexpr int kMaxChars = 1000;

const QSet<QString> kLayoutPixels = {"spacing",     "horizontalSpacing", "verticalSpacing",
                                     "margin",      "leftMargin",        "topMargin",
                                     "rightMargin", "bottomMargin"};

struct Element {
    QString tag;
    QString name;                                  // widget, layout, spacer or property
    std::vector<std::pair<QRect, QString>> cells;  // layouts: cells taken, by whom
    std::optional<QRect> cell;                     // layout items placed by row and column
};

QString Named(const QString& name, const QString& cls) {
    return name.isEmpty() ? QString("an unnamed %1").arg(cls) : name;
}

class Checker {
  public:
    Checker(const QByteArray& bytes, const QStringList& widgets, const QStringList& layouts)
        : xml_(bytes), widgets_(widgets), layouts_(layouts) {}

    QString Run() {
        bool sawUi = false;
        while (!xml_.atEnd() && error_.isEmpty()) {
            const QXmlStreamReader::TokenType token = xml_.readNext();
            if (token == QXmlStreamReader::EndElement) {
                stack_.pop_back();
                continue;
            }
            if (token != QXmlStreamReader::StartElement) continue;
            if (!sawUi) {
                if (xml_.name() != QLatin1String("ui"))
                    return QString("is not a panel document (root element <%1>)").arg(xml_.name());
                sawUi = true;
            }
            Start();
        }
        if (xml_.hasError())
            return QString("is malformed at line %1: %2")
                .arg(xml_.lineNumber())
                .arg(xml_.errorString());
        return error_;
    }

  private:
    void Fail(const QString& why) {
        if (error_.isEmpty()) error_ = why;
    }

    // The widget, layout or spacer the current element belongs to.
    QString Owner() const {
        for (auto it = stack_.rbegin(); it != stack_.rend(); ++it)
            if (it->tag != "property" && !it->name.isEmpty()) return it->name;
        return "the document";
    }

    QString Property() const {
        for (auto it = stack_.rbegin(); it != stack_.rend(); ++it)
            if (it->tag == "property") return it->name;
        return {};
    }

    // A number within [min, max]; otherwise the failure names `what` of the owner.
    std::optional<double> Number(const QString& text, const QString& what, double min, double max) {
        bool ok = false;
        const double v = text.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(v) || v < min || v > max) {
            Fail(QString("gives %1 %2 %3, outside %4 to %5")
                     .arg(Owner(), what, text.trimmed())
                     .arg(min, 0, 'f', 0)
                     .arg(max, 0, 'f', 0));
            return std::nullopt;
        }
        return v;
    }

    void Start() {
        Element e{xml_.name().toString(), {}, {}, {}};
        const QXmlStreamAttributes attrs = xml_.attributes();
        const bool inLayout = !stack_.empty() && stack_.back().tag == "layout";
        if (e.tag == "widget" || e.tag == "layout" || e.tag == "spacer") {
            const QString cls = attrs.value("class").toString();
            e.name = attrs.value("name").toString();
            if (e.tag == "widget" && !widgets_.contains(cls))
                Fail(QString("has widget %1 of unknown class %2").arg(Named(e.name, cls), cls));
            if (e.tag == "layout" && !layouts_.contains(cls))
                Fail(QString("has layout %1 of unknown class %2").arg(Named(e.name, cls), cls));
            TakeCell(Named(e.name, e.tag == "spacer" ? "spacer" : cls));
        } else if (e.tag == "item" && inLayout) {
            e.cell = Cell(attrs);
        } else if (e.tag == "property") {
            e.name = attrs.value("name").toString();
        } else if (e.tag == "width" || e.tag == "height" || e.tag == "x" || e.tag == "y" ||
                   e.tag == "number") {
            Value(e.tag, xml_.readElementText());  // consumes the end element
            return;
        }
        stack_.push_back(std::move(e));
    }

    // The cell a layout item takes by row and column; none for items of box layouts.
    std::optional<QRect> Cell(const QXmlStreamAttributes& attrs) {
        if (!attrs.hasAttribute("row") && !attrs.hasAttribute("column")) return std::nullopt;
        int v[4] = {0, 0, 1, 1};
        const char* names[4] = {"row", "column", "rowspan", "colspan"};
        for (int i = 0; i < 4; ++i) {
            if (!attrs.hasAttribute(names[i])) continue;
            const double lowest = i < 2 ? 0 : 1;
            const double highest = i < 2 ? kMaxCells - 1 : kMaxCells;
            const auto n = Number(attrs.value(names[i]).toString(),
                                  QString("a cell %1").arg(names[i]), lowest, highest);
            if (!n) return std::nullopt;
            v[i] = int(*n);
        }
        return QRect(v[1], v[0], v[3], v[2]);
    }

    // Records the cell of the item holding the element just started (named `name`).
    void TakeCell(const QString& name) {
        if (stack_.size() < 2 || stack_.back().tag != "item" || !stack_.back().cell) return;
        const QRect cell = *stack_.back().cell;
        Element& layout = stack_[stack_.size() - 2];
        for (const auto& [taken, owner] : layout.cells) {
            if (taken.intersects(cell))
                Fail(QString("puts %1 into the cell of %2 in layout %3")
                         .arg(name, owner, Named(layout.name, "layout")));
        }
        layout.cells.emplace_back(cell, name);
    }

    void Value(const QString& tag, const QString& text) {
        const QString property = Property();
        const QString what = property + (tag == "number" ? QString() : " " + tag);
        if (tag == "width" || tag == "height") {
            // Designer writes the largest widget size for "no maximum".
            Number(text, what, 0, property == "maximumSize" ? QWIDGETSIZE_MAX : kMaxPixels);
        } else if (tag == "x" || tag == "y") {
            Number(text, what, -kMaxPixels, kMaxPixels);
        } else if (property == "minChars" || property == "fixedChars" || property == "fixedLines") {
            Number(text, what, 0, kMaxChars);
        } else if (kLayoutPixels.contains(property)) {
            Number(text, what, -1, kMaxPixels);
        }
    }

    QXmlStreamReader xml_;
    const QStringList& widgets_;
    const QStringList& layouts_;
    std::vector<Element> stack_;
    QString error_;
};

}  // namespace

QString CheckPanelDocument(const QByteArray& bytes, const QStringList& widgetClasses,
                           const QStringList& layoutClasses) {
    return Checker(bytes, widgetClasses, layoutClasses).Run();
}

}  // namespace qtor
