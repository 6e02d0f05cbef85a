#include "core/systemerror.h"

#include <cerrno>
#include <cstring>

namespace velmora {

SystemError LastSystemError()
{
    const int number = errno;
    return {number, std::strerror(number)};
}

const char *ChineseSystemErrorText(int number)
{
    switch (number) {
    case ENOENT:
        return "文件不存在";
    case EACCES:
    case EPERM:
        return "权限不足";
    case EISDIR:
        return "是一个文件夹而不是文件";
    case ENOTDIR:
        return "路径中有一项不是文件夹";
    case EEXIST:
        return "同名的文件已经存在";
    case ENOSPC:
    case EDQUOT:
        return "磁盘已满";
    case EROFS:
        return "只读文件系统";
    case EIO:
        return "输入输出错误";
    case EBUSY:
    case ETXTBSY:
        return "文件正被占用";
    case ENAMETOOLONG:
        return "文件名太长";
    case EMFILE:
    case ENFILE:
        return "打开的文件太多";
    case EFBIG:
        return "文件太大";
    case kNotARegularFile:
        return "不是普通文件";
    default:
        return nullptr;
    }
}

std::string SystemErrorText(const SystemError &error)
{
    if (const char *chinese = ChineseSystemErrorText(error.number))
        return chinese;
    return error.text;
}

} // namespace velmora
