#include "watchlist/changefailure.h"

#include "core/systemerror.h"

namespace velmora {

namespace {

QString whatWasKept(WatchListChange change)
{
    switch (change) {
    case WatchListChange::Add:
        return QStringLiteral("股票没有添加");
    case WatchListChange::Remove:
        return QStringLiteral("股票没有删除");
    case WatchListChange::Edit:
        return QStringLiteral("价格没有修改");
    case WatchListChange::Import:
        return QStringLiteral("没有导入任何股票");
    case WatchListChange::Restore:
        return QStringLiteral("列表没有恢复");
    }
    return {};
}

} // namespace

QString ReasonText(const StoreError &error)
{
    if (ChineseSystemErrorText(error.errorNumber))
        return QString::fromStdString(SystemErrorText({error.errorNumber, error.reason}));
    return QString::fromLocal8Bit(error.reason.c_str()); // the system's words, in its encoding
}

QString StoreFailureText(const StoreError &error, WatchListChange change)
{
    switch (error.kind) {
    case StoreError::Kind::ReadOnlyFolder:
        return LoadFailureText(error); // the same words as at start
    case StoreError::Kind::UnreadableList:
        return QStringLiteral("启动时无法读取磁盘上的自选股列表（%1：%2）。\n为保护该列表，本次运行"
                              "不会修改任何自选股文件：%3，磁盘上的列表没有改变。")
            .arg(QString::fromStdString(error.file), ReasonText(error), whatWasKept(change));
    case StoreError::Kind::Failed:
        break;
    }
    return QStringLiteral("无法写入自选股文件 %1：%2。\n%3，磁盘上的列表没有改变。")
        .arg(QString::fromStdString(error.file), ReasonText(error), whatWasKept(change));
}

QString SnapshotFailureText(const StoreError &error, WatchListChange change)
{
    static const char *const kDone[] = {"股票已添加", "股票已删除", "价格已修改", "股票已导入", "列表已恢复"};
    return QStringLiteral("无法在 backups 文件夹中保存这次修改前的副本（%1：%2）。\n%3，但不能用"
                          "“恢复…”撤销这次修改。")
        .arg(QString::fromStdString(error.file), ReasonText(error),
             QString::fromUtf8(kDone[static_cast<int>(change)]));
}

QString HoldingsFailureText(const StoreError &error)
{
    const QString reason = error.errorNumber ? ReasonText(error) : QString::fromStdString(error.reason);
    return QStringLiteral("无法读取持仓文件 %1：\n%2\n自选股列表照常显示；为保护该文件，本次运行不会修改持仓。")
        .arg(QString::fromStdString(error.file), reason);
}

QString LoadFailureText(const StoreError &error)
{
    if (error.kind == StoreError::Kind::ReadOnlyFolder) {
        return QStringLiteral("数据文件夹不能写入（%1）。\n本次运行只显示自选股列表，不会保存任何改动。")
            .arg(ReasonText(error));
    }
    return QStringLiteral("无法读取自选股文件 %1：%2。\n为保护磁盘上的列表，本次运行不会写入任何自选股文件。")
        .arg(QString::fromStdString(error.file), ReasonText(error));
}

} // namespace velmora
