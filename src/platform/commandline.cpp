#include "platform/commandline.h"

#include <QCommandLineParser>

#include <algorithm>

#ifndef VELMORA_VERSION
#define VELMORA_VERSION "0"
#endif

namespace velmora {

namespace {

struct OptionText
{
    QStringList names;
    QString valueName; // empty for a switch
    QString description;
};

const QList<OptionText> &options()
{
    static const QList<OptionText> list{
        {{QStringLiteral("data-dir")}, QStringLiteral("文件夹"),
         QStringLiteral("自选股文件所在的文件夹")},
        {{QStringLiteral("demo")}, {}, QStringLiteral("使用内置的演示行情服务")},
        {{QStringLiteral("import")}, QStringLiteral("文件"),
         QStringLiteral("把 CSV 或制表符分隔的文件中的股票加到列表末尾，不打开窗口")},
        {{QStringLiteral("export")}, QStringLiteral("文件"),
         QStringLiteral("把列表导出为 CSV 文件，不打开窗口")},
        {{QStringLiteral("import-holdings")}, QStringLiteral("文件"),
         QStringLiteral("把持仓文件（代码,买入日期,数量,成本价）中的持仓加入，不打开窗口")},
        {{QStringLiteral("export-holdings")}, QStringLiteral("文件"),
         QStringLiteral("把持仓导出为 CSV 文件，不打开窗口")},
        {{QStringLiteral("h"), QStringLiteral("help")}, {}, QStringLiteral("显示本帮助并退出")},
        {{QStringLiteral("v"), QStringLiteral("version")}, {}, QStringLiteral("显示版本并退出")},
    };
    return list;
}

QString spelled(const OptionText &option)
{
    QStringList forms;
    for (const QString &name : option.names)
        forms << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    QString text = forms.join(QStringLiteral(", "));
    if (!option.valueName.isEmpty())
        text += QStringLiteral(" <%1>").arg(option.valueName);
    return text;
}

// Columns as a terminal shows them: a Chinese character takes two.
QString padded(const QString &text, int width)
{
    int used = 0;
    for (const QChar c : text)
        used += c.unicode() >= 0x2E80 ? 2 : 1;
    return text + QString(std::max(1, width - used), QLatin1Char(' '));
}

QString helpText()
{
    QString text = QStringLiteral("用法：velmora [选项]\n"
                                  "Velmora：常驻系统托盘的自选股行情与预警。\n\n选项：\n");
    for (const OptionText &option : options())
        text += QStringLiteral("  %1 %2\n").arg(padded(spelled(option), 22), option.description);
    return text;
}

} // namespace

CommandLine ParseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const OptionText &option : options())
        parser.addOption(QCommandLineOption(option.names, option.description, option.valueName));

    CommandLine line;
    auto refuse = [&line](const QString &why) {
        line.action = CommandLine::Action::Refuse;
        line.text = why;
        return line;
    };
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString &name = unknown.constFirst();
            return refuse(QStringLiteral("无法识别的参数：%1")
                              .arg((name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) +
                                   name));
        }
        // The only other way a line fails: an option that takes a value came last without it.
        for (const OptionText &option : options()) {
            if (!option.valueName.isEmpty() && !arguments.isEmpty() &&
                arguments.constLast() == QStringLiteral("--") + option.names.constFirst())
                return refuse(QStringLiteral("--%1 后面缺少%2。")
                                  .arg(option.names.constFirst(), option.valueName));
        }
        return refuse(QStringLiteral("无法读取命令行。"));
    }
    if (!parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("无法识别的参数：%1").arg(parser.positionalArguments().constFirst()));
    if (parser.isSet(QStringLiteral("help"))) {
        line.action = CommandLine::Action::Help;
        line.text = helpText();
        return line;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        line.action = CommandLine::Action::Version;
        line.text = QStringLiteral("velmora %1\n").arg(QStringLiteral(VELMORA_VERSION));
        return line;
    }
    line.demo = parser.isSet(QStringLiteral("demo"));
    line.dataDir = parser.value(QStringLiteral("data-dir"));
    if (parser.isSet(QStringLiteral("data-dir")) && line.dataDir.isEmpty())
        return refuse(QStringLiteral("--data-dir 后面缺少文件夹。"));
    for (const ListVerb verb : kListVerbs) {
        const QString name = ListVerbWord(verb);
        if (!parser.isSet(name))
            continue;
        if (parser.value(name).isEmpty())
            return refuse(QStringLiteral("--%1 后面缺少文件。").arg(name));
        if (line.listVerb)
            return refuse(QStringLiteral("--%1 和 --%2 不能同时使用。").arg(ListVerbWord(*line.listVerb), name));
        line.listVerb = verb;
        line.listFile = parser.value(name);
    }
    return line;
}

QString ListVerbWord(ListVerb verb)
{
    switch (verb) {
    case ListVerb::Import:
        return QStringLiteral("import");
    case ListVerb::Export:
        return QStringLiteral("export");
    case ListVerb::ImportHoldings:
        return QStringLiteral("import-holdings");
    case ListVerb::ExportHoldings:
        return QStringLiteral("export-holdings");
    }
    return {};
}

std::optional<ListVerb> ListVerbFromWord(const QString &word)
{
    for (const ListVerb verb : kListVerbs) {
        if (word == ListVerbWord(verb))
            return verb;
    }
    return std::nullopt;
}

} // namespace velmora
