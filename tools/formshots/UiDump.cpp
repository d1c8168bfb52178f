#include "UiDump.h"

#include "ProjectHeaders.h"

#include <QAction>
#include <QBuffer>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QColumnView>
#include <QComboBox>
#include <QCommandLinkButton>
#include <QDateTimeEdit>
#include <QDial>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDirIterator>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFontComboBox>
#include <QFrame>
#include <QGraphicsView>
#include <QGroupBox>
#include <QHash>
#include <QHeaderView>
#include <QKeySequenceEdit>
#include <QLCDNumber>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMetaEnum>
#include <QMetaProperty>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTextEdit>
#include <QToolBox>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>
#include <QXmlStreamWriter>

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace qzr::formshots {

namespace {

// ---------------------------------------------------------------- classes

using Factory = std::function<QWidget *(QWidget *parent)>;

template <typename W>
Factory make()
{
    return [](QWidget *parent) -> QWidget * { return new W(parent); };
}

// The Qt widget classes the tool can make a default instance of: the ones
// uic knows without a custom widget entry.
const QHash<QString, Factory> &qtClasses()
{
    static const QHash<QString, Factory> classes = {
        {QStringLiteral("QWidget"), make<QWidget>()},
        {QStringLiteral("QFrame"), make<QFrame>()},
        {QStringLiteral("QLabel"), make<QLabel>()},
        {QStringLiteral("QPushButton"), make<QPushButton>()},
        {QStringLiteral("QToolButton"), make<QToolButton>()},
        {QStringLiteral("QCheckBox"), make<QCheckBox>()},
        {QStringLiteral("QRadioButton"), make<QRadioButton>()},
        {QStringLiteral("QCommandLinkButton"), make<QCommandLinkButton>()},
        {QStringLiteral("QLineEdit"), make<QLineEdit>()},
        {QStringLiteral("QComboBox"), make<QComboBox>()},
        {QStringLiteral("QFontComboBox"), make<QFontComboBox>()},
        {QStringLiteral("QPlainTextEdit"), make<QPlainTextEdit>()},
        {QStringLiteral("QTextEdit"), make<QTextEdit>()},
        {QStringLiteral("QTextBrowser"), make<QTextBrowser>()},
        {QStringLiteral("QProgressBar"), make<QProgressBar>()},
        {QStringLiteral("QScrollBar"), make<QScrollBar>()},
        {QStringLiteral("QSlider"), make<QSlider>()},
        {QStringLiteral("QDial"), make<QDial>()},
        {QStringLiteral("QSpinBox"), make<QSpinBox>()},
        {QStringLiteral("QDoubleSpinBox"), make<QDoubleSpinBox>()},
        {QStringLiteral("QDateTimeEdit"), make<QDateTimeEdit>()},
        {QStringLiteral("QDateEdit"), make<QDateEdit>()},
        {QStringLiteral("QTimeEdit"), make<QTimeEdit>()},
        {QStringLiteral("QLCDNumber"), make<QLCDNumber>()},
        {QStringLiteral("QListView"), make<QListView>()},
        {QStringLiteral("QListWidget"), make<QListWidget>()},
        {QStringLiteral("QTreeView"), make<QTreeView>()},
        {QStringLiteral("QTreeWidget"), make<QTreeWidget>()},
        {QStringLiteral("QTableView"), make<QTableView>()},
        {QStringLiteral("QTableWidget"), make<QTableWidget>()},
        {QStringLiteral("QColumnView"), make<QColumnView>()},
        {QStringLiteral("QGroupBox"), make<QGroupBox>()},
        {QStringLiteral("QScrollArea"), make<QScrollArea>()},
        {QStringLiteral("QTabWidget"), make<QTabWidget>()},
        {QStringLiteral("QStackedWidget"), make<QStackedWidget>()},
        {QStringLiteral("QToolBox"), make<QToolBox>()},
        {QStringLiteral("QSplitter"), make<QSplitter>()},
        {QStringLiteral("QMenuBar"), make<QMenuBar>()},
        {QStringLiteral("QMenu"), make<QMenu>()},
        {QStringLiteral("QMainWindow"), make<QMainWindow>()},
        {QStringLiteral("QStatusBar"), make<QStatusBar>()},
        {QStringLiteral("QDialog"), make<QDialog>()},
        {QStringLiteral("QDialogButtonBox"), make<QDialogButtonBox>()},
        {QStringLiteral("QKeySequenceEdit"), make<QKeySequenceEdit>()},
        {QStringLiteral("QCalendarWidget"), make<QCalendarWidget>()},
        {QStringLiteral("QGraphicsView"), make<QGraphicsView>()},
    };
    return classes;
}

// Classes whose child widgets belong to the form (as Designer keeps them);
// the children of every other widget are its own business.
bool isContainer(const QString &qtClass)
{
    return qtClass == QLatin1String("QWidget") || qtClass == QLatin1String("QFrame")
        || qtClass == QLatin1String("QGroupBox") || qtClass == QLatin1String("QDialog");
}

QString projectHeader(const char *className)
{
    for (const ClassHeader &entry : kProjectClasses)
        if (entry.className && std::strcmp(entry.className, className) == 0)
            return QString::fromLatin1(entry.header);
    return {};
}

struct WidgetClass
{
    QString name;                          // as the file names it
    const QMetaObject *qtBase = nullptr;   // the nearest class the tool can make
    bool custom = false;
};

struct CustomWidget
{
    QString extends;
    QString header;
    bool global = false;   // <Header>, not "header"
};

// ---------------------------------------------------------------- values

QString sanitizedComment(QString text)
{
    text.replace(QStringLiteral("--"), QStringLiteral("- -"));
    return QLatin1Char(' ') + text + QLatin1Char(' ');
}

int enumValue(const QVariant &value)
{
    bool ok = false;
    const int number = value.toInt(&ok);
    if (ok)
        return number;
    int raw = 0;
    const qsizetype size = value.metaType().sizeOf();
    if (value.constData() && size > 0)
        std::memcpy(&raw, value.constData(), size_t(qMin<qsizetype>(size, qsizetype(sizeof raw))));
    return raw;
}

// Resource pictures by size, for telling which one a label shows.
quint64 sizeKey(const QSize &size)
{
    return (quint64(quint32(size.width())) << 32) | quint32(size.height());
}

const QMultiHash<quint64, QString> &resourcePictures()
{
    static const QMultiHash<quint64, QString> pictures = [] {
        QMultiHash<quint64, QString> found;
        static const QStringList suffixes = {QStringLiteral("png"), QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                             QStringLiteral("bmp"), QStringLiteral("gif"), QStringLiteral("xpm")};
        QDirIterator it(QStringLiteral(":/"), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.startsWith(QLatin1String(":/qt-project.org")))
                continue;
            if (!suffixes.contains(QFileInfo(path).suffix().toLower()))
                continue;
            const QImage image(path);
            if (!image.isNull())
                found.insert(sizeKey(image.size()), path);
        }
        return found;
    }();
    return pictures;
}

QString resourceShowing(const QPixmap &pixmap)
{
    const QImage shown = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    for (const QString &path : resourcePictures().values(sizeKey(pixmap.size())))
        if (QImage(path).convertToFormat(QImage::Format_ARGB32) == shown)
            return path;
    return {};
}

bool sameValue(const QVariant &a, const QVariant &b)
{
    if (a.metaType() != b.metaType())
        return false;
    if (a.metaType() == QMetaType::fromType<QIcon>())
        return a.value<QIcon>().isNull() && b.value<QIcon>().isNull();
    if (a.metaType() == QMetaType::fromType<QPixmap>())
        return a.value<QPixmap>().isNull() && b.value<QPixmap>().isNull();
    return a == b;
}

// ---------------------------------------------------------------- writer

class Dumper
{
public:
    Dumper(QWidget *window, const QStringList &presetTexts)
        : m_window(window), m_presets(presetTexts)
    {
        m_scratch = std::make_unique<QWidget>();
        m_scratch->setObjectName(QStringLiteral("qzr_formshots_scratch"));
    }

    UiFile run();

private:
    WidgetClass classOf(const QMetaObject *meta);
    QWidget *defaultOf(const QMetaObject *qtBase, bool topLevel);
    QString nameOf(QObject *object, const QString &kind);
    void note(const QObject *object, const QString &text);

    void writeWidget(QWidget *widget, bool topLevel, bool central);
    void writeProperties(QWidget *widget, const WidgetClass &cls, bool topLevel, bool central);
    void writeComboBox(QComboBox *combo);
    void writeItemViewHeaders(QWidget *view);
    void writeMenuContents(QWidget *menu);
    void writeActions();
    void writeTabStops();
    void writeCustomWidgets();

    bool writeValue(const QString &owner, const char *name, const QMetaProperty *property, const QVariant &value,
                    bool standard = true);
    void writeFont(const QFont &font, const QString &owner);
    void writePalette(const QPalette &palette);
    void writeString(const QString &text);
    void writeStringProperty(const char *name, const QString &text, bool standard = true);
    void writeBoolProperty(const char *name, bool value);
    void writeRect(const QRect &rect);

    QWidget *m_window;
    QStringList m_presets;
    std::unique_ptr<QWidget> m_scratch;
    std::map<QString, QWidget *> m_defaults;   // "class/top" -> instance
    std::vector<std::unique_ptr<QWidget>> m_topDefaults;
    QXmlStreamWriter m_xml;
    QStringList m_notes;
    std::map<QString, CustomWidget> m_customs;  // ordered: bases before their subclasses by name
    QStringList m_customOrder;
    QList<QWidget *> m_written;                // in document order
    QList<QAction *> m_actions;                // actions to declare at the window
    QSet<QString> m_names;
    int m_unnamed = 0;
};

// The nearest class of meta's line that the tool can make.
const QMetaObject *qtBaseOf(const QMetaObject *meta)
{
    for (const QMetaObject *m = meta; m; m = m->superClass())
        if (qtClasses().contains(QString::fromLatin1(m->className())))
            return m;
    return &QWidget::staticMetaObject;
}

WidgetClass Dumper::classOf(const QMetaObject *meta)
{
    WidgetClass result;
    for (const QMetaObject *m = meta; m; m = m->superClass()) {
        if (qtClasses().contains(QString::fromLatin1(m->className()))) {
            result.qtBase = m;
            break;
        }
    }
    if (!result.qtBase)
        result.qtBase = &QWidget::staticMetaObject;
    const QString className = QString::fromLatin1(meta->className());
    if (meta == result.qtBase) {
        result.name = className;
        return result;
    }
    const QString header = projectHeader(meta->className());
    const bool qtLooking = className.startsWith(QLatin1Char('Q')) && !className.contains(QLatin1Char(':'));
    if (header.isEmpty() && !qtLooking) {
        // A class no header declares (local to a source file): written as
        // the nearest class that can be written.
        WidgetClass base = classOf(meta->superClass());
        return base;
    }
    result.name = className;
    result.custom = true;
    if (m_customs.find(className) == m_customs.end()) {
        CustomWidget custom;
        const WidgetClass base = classOf(meta->superClass());
        custom.extends = base.name;
        custom.header = header.isEmpty() ? className : header;
        custom.global = header.isEmpty();
        m_customs[className] = custom;
        m_customOrder << className;
    }
    return result;
}

QWidget *Dumper::defaultOf(const QMetaObject *qtBase, bool topLevel)
{
    const QString key = QString::fromLatin1(qtBase->className()) + (topLevel ? QStringLiteral("/top") : QString());
    const auto found = m_defaults.find(key);
    if (found != m_defaults.end())
        return found->second;
    const Factory &factory = qtClasses().value(QString::fromLatin1(qtBase->className()));
    QWidget *instance = nullptr;
    if (topLevel) {
        m_topDefaults.push_back(std::unique_ptr<QWidget>(factory(nullptr)));
        instance = m_topDefaults.back().get();
    } else {
        instance = factory(m_scratch.get());
    }
    instance->ensurePolished();
    m_defaults[key] = instance;
    return instance;
}

QString Dumper::nameOf(QObject *object, const QString &kind)
{
    QString name = object->objectName();
    if (name.isEmpty() || m_names.contains(name)) {
        const QString made = QStringLiteral("%1_%2").arg(kind).arg(++m_unnamed);
        note(object, name.isEmpty() ? QStringLiteral("has no object name; written as %1").arg(made)
                                    : QStringLiteral("shares its object name; written as %1").arg(made));
        name = made;
    }
    m_names.insert(name);
    return name;
}

void Dumper::note(const QObject *object, const QString &text)
{
    const QString who = object && !object->objectName().isEmpty()
        ? object->objectName()
        : QString::fromLatin1(object ? object->metaObject()->className() : "?");
    m_notes << who + QStringLiteral(": ") + text;
    m_xml.writeComment(sanitizedComment(text));
}

void Dumper::writeString(const QString &text)
{
    m_xml.writeStartElement(QStringLiteral("string"));
    m_xml.writeAttribute(QStringLiteral("notr"), QStringLiteral("true"));
    m_xml.writeCharacters(text);
    m_xml.writeEndElement();
}

void Dumper::writeStringProperty(const char *name, const QString &text, bool standard)
{
    m_xml.writeStartElement(QStringLiteral("property"));
    m_xml.writeAttribute(QStringLiteral("name"), QString::fromLatin1(name));
    if (!standard)
        m_xml.writeAttribute(QStringLiteral("stdset"), QStringLiteral("0"));
    writeString(text);
    m_xml.writeEndElement();
}

void Dumper::writeBoolProperty(const char *name, bool value)
{
    m_xml.writeStartElement(QStringLiteral("property"));
    m_xml.writeAttribute(QStringLiteral("name"), QString::fromLatin1(name));
    m_xml.writeTextElement(QStringLiteral("bool"), value ? QStringLiteral("true") : QStringLiteral("false"));
    m_xml.writeEndElement();
}

void Dumper::writeRect(const QRect &rect)
{
    m_xml.writeStartElement(QStringLiteral("rect"));
    m_xml.writeTextElement(QStringLiteral("x"), QString::number(rect.x()));
    m_xml.writeTextElement(QStringLiteral("y"), QString::number(rect.y()));
    m_xml.writeTextElement(QStringLiteral("width"), QString::number(rect.width()));
    m_xml.writeTextElement(QStringLiteral("height"), QString::number(rect.height()));
    m_xml.writeEndElement();
}

// Writes <property name=...> with the value; false (nothing written) for a
// type the file format or the tool does not cover.
bool Dumper::writeValue(const QString &owner, const char *name, const QMetaProperty *property,
                        const QVariant &value, bool standard)
{
    const auto open = [&] {
        m_xml.writeStartElement(QStringLiteral("property"));
        m_xml.writeAttribute(QStringLiteral("name"), QString::fromLatin1(name));
        if (!standard)
            m_xml.writeAttribute(QStringLiteral("stdset"), QStringLiteral("0"));
    };
    const auto close = [&] { m_xml.writeEndElement(); };

    if (property && property->isEnumType()) {
        const QMetaEnum meta = property->enumerator();
        const int number = enumValue(value);
        const QString scope = QString::fromLatin1(meta.scope());
        if (meta.isFlag()) {
            const QByteArray keys = meta.valueToKeys(number);
            QStringList qualified;
            for (const QByteArray &key : keys.split('|'))
                if (!key.isEmpty())
                    qualified << scope + QStringLiteral("::") + QString::fromLatin1(key);
            if (qualified.isEmpty() && number != 0)
                return false;
            open();
            m_xml.writeTextElement(QStringLiteral("set"),
                                   qualified.isEmpty() ? QStringLiteral("0") : qualified.join(QLatin1Char('|')));
            close();
            return true;
        }
        const char *key = meta.valueToKey(number);
        if (!key)
            return false;
        open();
        m_xml.writeTextElement(QStringLiteral("enum"), scope + QStringLiteral("::") + QString::fromLatin1(key));
        close();
        return true;
    }

    const QMetaType type = value.metaType();
    switch (type.id()) {
    case QMetaType::Bool:
        open();
        m_xml.writeTextElement(QStringLiteral("bool"), value.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
        close();
        return true;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        open();
        m_xml.writeTextElement(type.id() == QMetaType::LongLong ? QStringLiteral("longLong")
                                   : type.id() == QMetaType::ULongLong ? QStringLiteral("uLongLong")
                                   : type.id() == QMetaType::UInt || type.id() == QMetaType::ULong
                                           || type.id() == QMetaType::UShort
                                       ? QStringLiteral("UInt")
                                       : QStringLiteral("number"),
                               value.toString());
        close();
        return true;
    case QMetaType::Double:
    case QMetaType::Float:
        open();
        m_xml.writeTextElement(QStringLiteral("double"), QString::number(value.toDouble(), 'g', 17));
        close();
        return true;
    case QMetaType::QString: {
        const QString text = value.toString();
        if (m_presets.contains(text)) {
            const QString said = QStringLiteral("%1 is \"%2\", which the tool's start options put there: the "
                                                "window's own text is not known here")
                                     .arg(QString::fromLatin1(name), text);
            m_notes << owner + QStringLiteral(": ") + said;
            m_xml.writeComment(sanitizedComment(said));
        }
        open();
        writeString(text);
        close();
        return true;
    }
    case QMetaType::QStringList:
        open();
        m_xml.writeStartElement(QStringLiteral("stringlist"));
        m_xml.writeAttribute(QStringLiteral("notr"), QStringLiteral("true"));
        for (const QString &entry : value.toStringList())
            m_xml.writeTextElement(QStringLiteral("string"), entry);
        m_xml.writeEndElement();
        close();
        return true;
    case QMetaType::QSize: {
        const QSize size = value.toSize();
        open();
        m_xml.writeStartElement(QStringLiteral("size"));
        m_xml.writeTextElement(QStringLiteral("width"), QString::number(size.width()));
        m_xml.writeTextElement(QStringLiteral("height"), QString::number(size.height()));
        m_xml.writeEndElement();
        close();
        return true;
    }
    case QMetaType::QRect:
        open();
        writeRect(value.toRect());
        close();
        return true;
    case QMetaType::QPoint: {
        const QPoint point = value.toPoint();
        open();
        m_xml.writeStartElement(QStringLiteral("point"));
        m_xml.writeTextElement(QStringLiteral("x"), QString::number(point.x()));
        m_xml.writeTextElement(QStringLiteral("y"), QString::number(point.y()));
        m_xml.writeEndElement();
        close();
        return true;
    }
    case QMetaType::QColor: {
        const QColor colour = value.value<QColor>();
        open();
        m_xml.writeStartElement(QStringLiteral("color"));
        m_xml.writeAttribute(QStringLiteral("alpha"), QString::number(colour.alpha()));
        m_xml.writeTextElement(QStringLiteral("red"), QString::number(colour.red()));
        m_xml.writeTextElement(QStringLiteral("green"), QString::number(colour.green()));
        m_xml.writeTextElement(QStringLiteral("blue"), QString::number(colour.blue()));
        m_xml.writeEndElement();
        close();
        return true;
    }
    case QMetaType::QSizePolicy: {
        const QSizePolicy policy = value.value<QSizePolicy>();
        const QMetaEnum policies = QMetaEnum::fromType<QSizePolicy::Policy>();
        open();
        m_xml.writeStartElement(QStringLiteral("sizepolicy"));
        m_xml.writeAttribute(QStringLiteral("hsizetype"), QString::fromLatin1(policies.valueToKey(policy.horizontalPolicy())));
        m_xml.writeAttribute(QStringLiteral("vsizetype"), QString::fromLatin1(policies.valueToKey(policy.verticalPolicy())));
        m_xml.writeTextElement(QStringLiteral("horstretch"), QString::number(policy.horizontalStretch()));
        m_xml.writeTextElement(QStringLiteral("verstretch"), QString::number(policy.verticalStretch()));
        m_xml.writeEndElement();
        close();
        return true;
    }
    case QMetaType::QCursor: {
        const QMetaEnum shapes = QMetaEnum::fromType<Qt::CursorShape>();
        const char *shape = shapes.valueToKey(value.value<QCursor>().shape());
        if (!shape)
            return false;
        open();
        m_xml.writeTextElement(QStringLiteral("cursorShape"), QString::fromLatin1(shape));
        close();
        return true;
    }
    case QMetaType::QKeySequence:
        open();
        writeString(value.value<QKeySequence>().toString(QKeySequence::PortableText));
        close();
        return true;
    case QMetaType::QUrl:
        open();
        m_xml.writeStartElement(QStringLiteral("url"));
        writeString(value.toUrl().toString());
        m_xml.writeEndElement();
        close();
        return true;
    case QMetaType::QLocale: {
        const QLocale locale = value.toLocale();
        open();
        m_xml.writeStartElement(QStringLiteral("locale"));
        m_xml.writeAttribute(QStringLiteral("language"), QLocale::languageToString(locale.language()));
        m_xml.writeAttribute(QStringLiteral("country"), QLocale::territoryToString(locale.territory()));
        m_xml.writeEndElement();
        close();
        return true;
    }
    case QMetaType::QPixmap: {
        const QString resource = resourceShowing(value.value<QPixmap>());
        if (resource.isEmpty())
            return false;
        open();
        m_xml.writeTextElement(QStringLiteral("pixmap"), resource);
        close();
        return true;
    }
    default:
        return false;
    }
}

void Dumper::writeFont(const QFont &font, const QString &owner)
{
    const uint set = font.resolveMask();
    m_xml.writeStartElement(QStringLiteral("property"));
    m_xml.writeAttribute(QStringLiteral("name"), QStringLiteral("font"));
    m_xml.writeStartElement(QStringLiteral("font"));
    if (set & (QFont::FamilyResolved | QFont::FamiliesResolved))
        m_xml.writeTextElement(QStringLiteral("family"), font.family());
    if (set & QFont::SizeResolved) {
        if (font.pointSize() > 0)
            m_xml.writeTextElement(QStringLiteral("pointsize"), QString::number(font.pointSize()));
        else
            m_notes << owner + QStringLiteral(": font size in pixels (%1) not written").arg(font.pixelSize());
    }
    if (set & QFont::StyleResolved)
        m_xml.writeTextElement(QStringLiteral("italic"), font.italic() ? QStringLiteral("true") : QStringLiteral("false"));
    if (set & QFont::WeightResolved) {
        m_xml.writeTextElement(QStringLiteral("bold"), font.bold() ? QStringLiteral("true") : QStringLiteral("false"));
        if (font.weight() != QFont::Bold && font.weight() != QFont::Normal)
            m_notes << owner + QStringLiteral(": font weight %1 written as %2").arg(int(font.weight())).arg(
                           font.bold() ? QStringLiteral("bold") : QStringLiteral("normal"));
    }
    if (set & QFont::UnderlineResolved)
        m_xml.writeTextElement(QStringLiteral("underline"), font.underline() ? QStringLiteral("true") : QStringLiteral("false"));
    if (set & QFont::StrikeOutResolved)
        m_xml.writeTextElement(QStringLiteral("strikeout"), font.strikeOut() ? QStringLiteral("true") : QStringLiteral("false"));
    if (set & QFont::KerningResolved)
        m_xml.writeTextElement(QStringLiteral("kerning"), font.kerning() ? QStringLiteral("true") : QStringLiteral("false"));
    if (set & QFont::StyleStrategyResolved) {
        const QMetaEnum strategies = QMetaEnum::fromType<QFont::StyleStrategy>();
        const char *key = strategies.valueToKey(font.styleStrategy());
        if (key)
            m_xml.writeTextElement(QStringLiteral("stylestrategy"), QString::fromLatin1(key));
    }
    const uint unwritten = set
        & (QFont::StyleHintResolved | QFont::OverlineResolved | QFont::FixedPitchResolved | QFont::StretchResolved
           | QFont::CapitalizationResolved | QFont::LetterSpacingResolved | QFont::WordSpacingResolved
           | QFont::HintingPreferenceResolved | QFont::StyleNameResolved);
    if (unwritten)
        m_notes << owner + QStringLiteral(": font settings (mask 0x%1) not written").arg(unwritten, 0, 16);
    m_xml.writeEndElement();
    m_xml.writeEndElement();
}

void Dumper::writePalette(const QPalette &palette)
{
    const QMetaEnum roles = QMetaEnum::fromType<QPalette::ColorRole>();
    m_xml.writeStartElement(QStringLiteral("property"));
    m_xml.writeAttribute(QStringLiteral("name"), QStringLiteral("palette"));
    m_xml.writeStartElement(QStringLiteral("palette"));
    const std::pair<QPalette::ColorGroup, const char *> groups[] = {
        {QPalette::Active, "active"}, {QPalette::Inactive, "inactive"}, {QPalette::Disabled, "disabled"}};
    for (const auto &[group, element] : groups) {
        m_xml.writeStartElement(QString::fromLatin1(element));
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto colourRole = QPalette::ColorRole(role);
            if (colourRole == QPalette::NoRole || !palette.isBrushSet(group, colourRole))
                continue;
            const QBrush brush = palette.brush(group, colourRole);
            const char *roleName = roles.valueToKey(role);
            if (!roleName)
                continue;
            if (brush.style() != Qt::SolidPattern && brush.style() != Qt::NoBrush)
                m_notes << QStringLiteral("palette: %1 brush of style %2 written as its colour")
                               .arg(QString::fromLatin1(roleName))
                               .arg(int(brush.style()));
            const QColor colour = brush.color();
            m_xml.writeStartElement(QStringLiteral("colorrole"));
            m_xml.writeAttribute(QStringLiteral("role"), QString::fromLatin1(roleName));
            m_xml.writeStartElement(QStringLiteral("brush"));
            m_xml.writeAttribute(QStringLiteral("brushstyle"),
                                 brush.style() == Qt::NoBrush ? QStringLiteral("NoBrush") : QStringLiteral("SolidPattern"));
            m_xml.writeStartElement(QStringLiteral("color"));
            m_xml.writeAttribute(QStringLiteral("alpha"), QString::number(colour.alpha()));
            m_xml.writeTextElement(QStringLiteral("red"), QString::number(colour.red()));
            m_xml.writeTextElement(QStringLiteral("green"), QString::number(colour.green()));
            m_xml.writeTextElement(QStringLiteral("blue"), QString::number(colour.blue()));
            m_xml.writeEndElement();
            m_xml.writeEndElement();
            m_xml.writeEndElement();
        }
        m_xml.writeEndElement();
    }
    m_xml.writeEndElement();
    m_xml.writeEndElement();
}

// Properties written by the tool itself, or not at all.
bool handledApart(const QWidget *widget, const char *name)
{
    static const QSet<QByteArray> always = {"objectName", "geometry", "font", "palette", "visible", "enabled",
                                            "pos", "size", "frameRect", "windowIcon", "sliderPosition"};
    if (always.contains(name))
        return true;
    if (qobject_cast<const QComboBox *>(widget)
        && (qstrcmp(name, "currentIndex") == 0 || qstrcmp(name, "currentText") == 0))
        return true;
    // A rich text edit keeps one text; Designer writes it as html.
    if (qobject_cast<const QTextEdit *>(widget) && (qstrcmp(name, "plainText") == 0 || qstrcmp(name, "markdown") == 0))
        return true;
    return false;
}

void Dumper::writeProperties(QWidget *widget, const WidgetClass &cls, bool topLevel, bool central)
{
    const QString owner = widget->objectName();
    QWidget *defaults = defaultOf(cls.qtBase, topLevel);

    if (topLevel)
        writeValue(owner, "geometry", nullptr, QRect(widget->pos(), widget->size()));
    else if (!central)
        writeValue(owner, "geometry", nullptr, widget->geometry());

    // Designable Qt properties in declaration order, where they differ from
    // a widget of the same Qt class that nobody changed.
    const QMetaObject *meta = widget->metaObject();
    const int qtProperties = cls.qtBase->propertyCount();
    for (int index = 0; index < qtProperties; ++index) {
        const QMetaProperty property = meta->property(index);
        if (!property.isReadable() || !property.isWritable() || !property.isDesignable())
            continue;
        if (handledApart(widget, property.name()))
            continue;
        if (!topLevel && (qstrcmp(property.name(), "windowTitle") == 0 || qstrcmp(property.name(), "windowIconText") == 0
                          || qstrcmp(property.name(), "windowModality") == 0 || qstrcmp(property.name(), "windowOpacity") == 0
                          || qstrcmp(property.name(), "windowFilePath") == 0 || qstrcmp(property.name(), "windowModified") == 0))
            continue;
        const QVariant value = property.read(widget);
        const QVariant standard = defaults->metaObject()->property(index).read(defaults);
        if (sameValue(value, standard))
            continue;
        if (value.metaType() == QMetaType::fromType<QIcon>()) {
            note(widget, QStringLiteral("its %1 (an icon) is not written").arg(QString::fromLatin1(property.name())));
            continue;
        }
        if (value.metaType() == QMetaType::fromType<QPixmap>() && !writeValue(owner, property.name(), &property, value))
            note(widget, QStringLiteral("its %1 is a picture that no resource of the program holds; not written")
                             .arg(QString::fromLatin1(property.name())));
        else if (value.metaType() != QMetaType::fromType<QPixmap>() && !writeValue(owner, property.name(), &property, value))
            note(widget, QStringLiteral("property %1 of type %2 not written")
                             .arg(QString::fromLatin1(property.name()), QString::fromLatin1(value.typeName())));
    }

    if (widget->testAttribute(Qt::WA_SetFont))
        writeFont(widget->font(), owner);
    if (widget->testAttribute(Qt::WA_SetPalette))
        writePalette(widget->palette());
    if (widget->testAttribute(Qt::WA_ForceDisabled))
        writeBoolProperty("enabled", false);
    if (!topLevel && widget->testAttribute(Qt::WA_WState_ExplicitShowHide) && widget->testAttribute(Qt::WA_WState_Hidden))
        writeBoolProperty("visible", false);

    // What the widget holds that no property states.
    if (auto *combo = qobject_cast<QComboBox *>(widget))
        writeComboBox(combo);
    if (qobject_cast<QTableView *>(widget) || qobject_cast<QTreeView *>(widget))
        writeItemViewHeaders(widget);

    // Dynamic properties the code set (Qt's own start with "_q_").
    for (const QByteArray &name : widget->dynamicPropertyNames()) {
        if (name.startsWith("_q_"))
            continue;
        if (!writeValue(owner, name.constData(), nullptr, widget->property(name.constData()), false))
            note(widget, QStringLiteral("dynamic property %1 not written").arg(QString::fromLatin1(name)));
    }

    // What only code can set.
    if (widget->style() != defaults->style())
        note(widget, QStringLiteral("has a style of its own (%1), set in code; the file cannot hold it")
                         .arg(QString::fromLatin1(widget->style()->metaObject()->className())));
    if (topLevel && widget->windowFlags() != defaults->windowFlags())
        note(widget, QStringLiteral("window flags %1 are set in code; the file cannot hold them")
                         .arg(QString::fromLatin1(QMetaEnum::fromType<Qt::WindowFlags>().valueToKeys(
                             int(widget->windowFlags())))));
    const std::pair<Qt::WidgetAttribute, const char *> attributes[] = {
        {Qt::WA_NoSystemBackground, "WA_NoSystemBackground"},   {Qt::WA_OpaquePaintEvent, "WA_OpaquePaintEvent"},
        {Qt::WA_TranslucentBackground, "WA_TranslucentBackground"}, {Qt::WA_StyledBackground, "WA_StyledBackground"},
        {Qt::WA_TransparentForMouseEvents, "WA_TransparentForMouseEvents"}, {Qt::WA_DeleteOnClose, "WA_DeleteOnClose"},
        {Qt::WA_ShowWithoutActivating, "WA_ShowWithoutActivating"}, {Qt::WA_MouseNoMask, "WA_MouseNoMask"},
    };
    for (const auto &[attribute, name] : attributes)
        if (widget->testAttribute(attribute) != defaults->testAttribute(attribute))
            note(widget, QStringLiteral("attribute %1 is %2 (set in code)")
                             .arg(QString::fromLatin1(name), widget->testAttribute(attribute) ? QStringLiteral("on")
                                                                                               : QStringLiteral("off")));
    if (isContainer(QString::fromLatin1(cls.qtBase->className())) && !cls.custom && widget->layout())
        note(widget, QStringLiteral("has a layout; its widgets are written at the places it gave them"));
}

void Dumper::writeComboBox(QComboBox *combo)
{
    for (int row = 0; row < combo->count(); ++row) {
        m_xml.writeStartElement(QStringLiteral("item"));
        m_xml.writeStartElement(QStringLiteral("property"));
        m_xml.writeAttribute(QStringLiteral("name"), QStringLiteral("text"));
        writeString(combo->itemText(row));
        m_xml.writeEndElement();
        m_xml.writeEndElement();
        if (!combo->itemIcon(row).isNull() || combo->itemData(row).isValid())
            note(combo, QStringLiteral("item %1 has an icon or data; only its text is written").arg(row));
    }
    // Adding items selects the first; any other choice is written.
    const int standardIndex = combo->count() > 0 ? 0 : -1;
    const bool indexWritten = combo->currentIndex() != standardIndex;
    if (indexWritten) {
        m_xml.writeStartElement(QStringLiteral("property"));
        m_xml.writeAttribute(QStringLiteral("name"), QStringLiteral("currentIndex"));
        m_xml.writeTextElement(QStringLiteral("number"), QString::number(combo->currentIndex()));
        m_xml.writeEndElement();
    }
    if (!combo->isEditable())
        return;
    const QString shown = combo->currentText();
    if (shown == combo->itemText(combo->currentIndex()))
        return;
    if (!indexWritten) {
        writeStringProperty("currentText", shown);
        return;
    }
    // setupUi sets currentIndex last of all, which replaces the edit text:
    // the text goes into a dynamic property that applyEditTexts() applies
    // after setupUi (see UiExtras.h).
    writeStringProperty("editText", shown, false);
    note(combo, QStringLiteral("edit text over a chosen index: kept as dynamic property editText, applied after "
                               "setupUi by applyEditTexts()"));
}

void Dumper::writeItemViewHeaders(QWidget *view)
{
    QWidget *defaults = defaultOf(qtBaseOf(view->metaObject()), false);
    const auto headers = [](QWidget *widget) -> std::vector<std::pair<QString, QHeaderView *>> {
        if (auto *table = qobject_cast<QTableView *>(widget))
            return {{QStringLiteral("horizontalHeader"), table->horizontalHeader()},
                    {QStringLiteral("verticalHeader"), table->verticalHeader()}};
        if (auto *tree = qobject_cast<QTreeView *>(widget))
            return {{QStringLiteral("header"), tree->header()}};
        return {};
    };
    const auto mine = headers(view);
    const auto standard = headers(defaults);
    for (size_t i = 0; i < mine.size() && i < standard.size(); ++i) {
        const QString prefix = mine[i].first;
        QHeaderView *header = mine[i].second;
        QHeaderView *plain = standard[i].second;
        const auto attribute = [&](const QString &name, const QVariant &value) {
            m_xml.writeStartElement(QStringLiteral("attribute"));
            m_xml.writeAttribute(QStringLiteral("name"), prefix + name);
            if (value.metaType().id() == QMetaType::Bool)
                m_xml.writeTextElement(QStringLiteral("bool"), value.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
            else
                m_xml.writeTextElement(QStringLiteral("number"), value.toString());
            m_xml.writeEndElement();
        };
        if (header->isHidden() != plain->isHidden())
            attribute(QStringLiteral("Visible"), !header->isHidden());
        if (header->cascadingSectionResizes() != plain->cascadingSectionResizes())
            attribute(QStringLiteral("CascadingSectionResizes"), header->cascadingSectionResizes());
        if (header->defaultSectionSize() != plain->defaultSectionSize())
            attribute(QStringLiteral("DefaultSectionSize"), header->defaultSectionSize());
        if (header->highlightSections() != plain->highlightSections())
            attribute(QStringLiteral("HighlightSections"), header->highlightSections());
        if (header->minimumSectionSize() != plain->minimumSectionSize())
            attribute(QStringLiteral("MinimumSectionSize"), header->minimumSectionSize());
        if (header->isSortIndicatorShown() != plain->isSortIndicatorShown())
            attribute(QStringLiteral("ShowSortIndicator"), header->isSortIndicatorShown());
        if (header->stretchLastSection() != plain->stretchLastSection())
            attribute(QStringLiteral("StretchLastSection"), header->stretchLastSection());
    }
    if (auto *itemView = qobject_cast<QAbstractItemView *>(view); itemView && itemView->model()
        && itemView->model()->columnCount() > 0)
        note(view, QStringLiteral("shows a model set in code (%1 columns, their widths and resize modes); the file "
                                  "cannot hold it")
                       .arg(itemView->model()->columnCount()));
}

void Dumper::writeMenuContents(QWidget *menu)
{
    // Submenus first (as Designer keeps them), then the entries in order.
    // (Only those it shows: a menu bar keeps a menu of its own for entries
    // that do not fit.)
    const QList<QAction *> entries = menu->actions();
    for (QObject *child : menu->children())
        if (auto *submenu = qobject_cast<QMenu *>(child); submenu && entries.contains(submenu->menuAction()))
            writeWidget(submenu, false, true);
    for (QAction *action : entries) {
        m_xml.writeStartElement(QStringLiteral("addaction"));
        if (action->isSeparator()) {
            m_xml.writeAttribute(QStringLiteral("name"), QStringLiteral("separator"));
        } else if (QMenu *submenu = action->menu<QMenu *>()) {
            m_xml.writeAttribute(QStringLiteral("name"), submenu->objectName());
            if (submenu->parent() != menu)
                m_notes << submenu->objectName() + QStringLiteral(": a menu that is not a child of the menu showing it");
        } else {
            if (!m_actions.contains(action))
                m_actions << action;
            if (action->objectName().isEmpty())
                action->setObjectName(QStringLiteral("action_%1").arg(++m_unnamed));
            m_xml.writeAttribute(QStringLiteral("name"), action->objectName());
        }
        m_xml.writeEndElement();
    }
}

void Dumper::writeActions()
{
    for (QAction *action : m_actions) {
        m_xml.writeStartElement(QStringLiteral("action"));
        m_xml.writeAttribute(QStringLiteral("name"), action->objectName());
        // A plain action with the same text derives tooltip and icon text
        // alike; only what differs from it is written.
        QAction plain(action->text());
        const QMetaObject *meta = &QAction::staticMetaObject;
        for (int index = 0; index < meta->propertyCount(); ++index) {
            const QMetaProperty property = meta->property(index);
            if (!property.isReadable() || !property.isWritable() || !property.isDesignable()
                || qstrcmp(property.name(), "objectName") == 0)
                continue;
            const QVariant value = property.read(action);
            if (qstrcmp(property.name(), "text") != 0 && sameValue(value, property.read(&plain)))
                continue;
            if (value.metaType() == QMetaType::fromType<QIcon>()) {
                if (!action->icon().isNull())
                    note(action, QStringLiteral("its icon is not written"));
                continue;
            }
            if (value.metaType() == QMetaType::fromType<QFont>())
                continue;
            if (!writeValue(action->objectName(), property.name(), &property, value))
                note(action, QStringLiteral("property %1 not written").arg(QString::fromLatin1(property.name())));
        }
        m_xml.writeEndElement();
    }
}

void Dumper::writeWidget(QWidget *widget, bool topLevel, bool central)
{
    // The window itself is written as its Qt class: the class of the file
    // (<class>) is its own, which uic's Ui:: class takes the name of.
    WidgetClass written;
    if (topLevel) {
        written.qtBase = qtBaseOf(widget->metaObject());
        written.name = QString::fromLatin1(written.qtBase->className());
    } else {
        written = classOf(widget->metaObject());
    }
    m_xml.writeStartElement(QStringLiteral("widget"));
    m_xml.writeAttribute(QStringLiteral("class"), written.name);
    m_xml.writeAttribute(QStringLiteral("name"), nameOf(widget, QStringLiteral("widget")));
    if (!topLevel && QString::fromLatin1(widget->metaObject()->className()) != written.name)
        note(widget, QStringLiteral("is a %1 (declared in no header): written as %2")
                         .arg(QString::fromLatin1(widget->metaObject()->className()), written.name));
    m_written << widget;

    writeProperties(widget, written, topLevel, central);

    const QString qtClass = QString::fromLatin1(written.qtBase->className());
    if (auto *mainWindow = qobject_cast<QMainWindow *>(widget); mainWindow && topLevel) {
        if (QWidget *centre = mainWindow->centralWidget())
            writeWidget(centre, false, true);
        if (auto *bar = qobject_cast<QMenuBar *>(mainWindow->menuWidget()))
            writeWidget(bar, false, false);
        if (QStatusBar *status = mainWindow->findChild<QStatusBar *>(QString(), Qt::FindDirectChildrenOnly))
            writeWidget(status, false, false);
        for (QObject *child : widget->children()) {
            auto *other = qobject_cast<QWidget *>(child);
            if (other && !other->isWindow() && other != mainWindow->centralWidget()
                && other != mainWindow->menuWidget() && !qobject_cast<QStatusBar *>(other))
                m_notes << nameOf(other, QStringLiteral("widget")) + QStringLiteral(": a %1 of the main window (toolbar or dock) not written")
                                                                   .arg(QString::fromLatin1(other->metaObject()->className()));
        }
    } else if (qobject_cast<QMenuBar *>(widget) || qobject_cast<QMenu *>(widget)) {
        writeMenuContents(widget);
    } else if (topLevel || (isContainer(qtClass) && widget->metaObject() == written.qtBase)) {
        for (QObject *child : widget->children()) {
            auto *inner = qobject_cast<QWidget *>(child);
            if (!inner)
                continue;
            if (inner->isWindow()) {
                if (!qobject_cast<QMenu *>(inner))
                    m_notes << inner->objectName() + QStringLiteral(": a window of its own (child of %1), not written")
                                                      .arg(widget->objectName());
                continue;
            }
            writeWidget(inner, false, false);
        }
    }
    for (QAction *action : widget->actions()) {
        if (qobject_cast<QMenu *>(widget) || qobject_cast<QMenuBar *>(widget))
            break;
        if (action->objectName().isEmpty())
            action->setObjectName(QStringLiteral("action_%1").arg(++m_unnamed));
        if (!m_actions.contains(action))
            m_actions << action;
        m_xml.writeStartElement(QStringLiteral("addaction"));
        m_xml.writeAttribute(QStringLiteral("name"), action->objectName());
        m_xml.writeEndElement();
    }
    if (topLevel)
        writeActions();
    m_xml.writeEndElement();
}

void Dumper::writeTabStops()
{
    // The focus chain as it stands, of the widgets written that take focus by Tab.
    QList<QWidget *> stops;
    const QSet<QWidget *> written(m_written.begin(), m_written.end());
    QWidget *current = m_window->nextInFocusChain();
    for (int guard = 0; current && current != m_window && guard < 100000; ++guard) {
        if (written.contains(current) && (current->focusPolicy() & Qt::TabFocus) && !stops.contains(current))
            stops << current;
        current = current->nextInFocusChain();
    }
    if (stops.size() < 2)
        return;
    m_xml.writeStartElement(QStringLiteral("tabstops"));
    for (QWidget *stop : stops)
        m_xml.writeTextElement(QStringLiteral("tabstop"), stop->objectName());
    m_xml.writeEndElement();
}

void Dumper::writeCustomWidgets()
{
    if (m_customOrder.isEmpty())
        return;
    m_xml.writeStartElement(QStringLiteral("customwidgets"));
    for (const QString &name : m_customOrder) {
        const CustomWidget &custom = m_customs.at(name);
        m_xml.writeStartElement(QStringLiteral("customwidget"));
        m_xml.writeTextElement(QStringLiteral("class"), name);
        m_xml.writeTextElement(QStringLiteral("extends"), custom.extends);
        m_xml.writeStartElement(QStringLiteral("header"));
        if (custom.global)
            m_xml.writeAttribute(QStringLiteral("location"), QStringLiteral("global"));
        m_xml.writeCharacters(custom.header);
        m_xml.writeEndElement();
        m_xml.writeEndElement();
    }
    m_xml.writeEndElement();
}

UiFile Dumper::run()
{
    UiFile file;
    file.uiClass = QString::fromLatin1(m_window->metaObject()->className());
    const QString header = projectHeader(m_window->metaObject()->className());
    file.fileName = (header.isEmpty() ? file.uiClass : QFileInfo(header).completeBaseName()) + QStringLiteral(".ui");

    QBuffer buffer(&file.contents);
    buffer.open(QIODevice::WriteOnly);
    m_xml.setDevice(&buffer);
    m_xml.setAutoFormatting(true);
    m_xml.setAutoFormattingIndent(1);
    m_xml.writeStartDocument();
    m_xml.writeStartElement(QStringLiteral("ui"));
    m_xml.writeAttribute(QStringLiteral("version"), QStringLiteral("4.0"));
    m_xml.writeTextElement(QStringLiteral("class"), file.uiClass);
    m_xml.writeComment(sanitizedComment(
        QStringLiteral("Written by qzr-form-shots from the window %1 as the tool built it").arg(file.uiClass)));
    writeWidget(m_window, true, false);
    writeCustomWidgets();
    m_xml.writeEmptyElement(QStringLiteral("resources"));
    writeTabStops();
    m_xml.writeEmptyElement(QStringLiteral("connections"));
    m_xml.writeEndElement();
    m_xml.writeEndDocument();
    file.notes = m_notes;
    return file;
}

} // namespace

namespace {

void collectFormWidgets(QWidget *widget, bool topLevel, QList<QWidget *> *found)
{
    if (auto *mainWindow = qobject_cast<QMainWindow *>(widget); mainWindow && topLevel) {
        if (QWidget *centre = mainWindow->centralWidget()) {
            *found << centre;
            collectFormWidgets(centre, false, found);
        }
        if (QWidget *bar = mainWindow->menuWidget())
            *found << bar;
        return;
    }
    const QString qtClass = QString::fromLatin1(qtBaseOf(widget->metaObject())->className());
    const bool ownClass = qtClass == QString::fromLatin1(widget->metaObject()->className());
    if (!topLevel && !(isContainer(qtClass) && ownClass))
        return;
    for (QObject *child : widget->children()) {
        auto *inner = qobject_cast<QWidget *>(child);
        if (!inner || inner->isWindow())
            continue;
        *found << inner;
        collectFormWidgets(inner, false, found);
    }
}

} // namespace

QList<QWidget *> formWidgets(QWidget *window)
{
    QList<QWidget *> found;
    collectFormWidgets(window, true, &found);
    return found;
}

UiFile dumpUi(QWidget *window, const QStringList &presetTexts)
{
    Dumper dumper(window, presetTexts);
    return dumper.run();
}

} // namespace qzr::formshots
