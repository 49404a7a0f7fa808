#include "log/LogWriter.h"

#include "fs/FsError.h"
#include "log/LogFile.h"
#include "results/FolderContentLister.h"

namespace voidbroom {

std::string_view markedSuffixFor(std::string_view description) {
    if (description.ends_with("t.")) return " - [Zero length], contain:";
    return " - [No files], contain subfolders:";
}

void writeLog(const std::string& path, const ResultList& list, std::string_view markedSuffix,
              std::string& contentText, LogHost& host, unsigned threads) {
    LogFile file(path);
    file.write(" Empty folders log\r\n");
    FolderContentLister lister(threads);
    const ContentYield yield = [&host] {
        host.yield();
        return true;
    };
    std::string folder;
    const std::size_t count = list.count();
    for (std::size_t i = 0; i < count; ++i) {
        host.entryStarted();
        const ResultEntry& entry = list.at(i);
        if (!entry.marked()) {
            file.write(entry.path);
            file.write(" - [Empty]\r\n");
            continue;
        }
        folder = entry.path;  // a copy: the list may change while the listing yields
        file.write(folder);
        file.write(markedSuffix);
        file.write("\r\n");
        contentText.clear();
        try {
            lister.CollectFolderContent(folder, contentText, yield);
        } catch (const FsError& error) {
            throw FsError(path,
                          "the folder " + error.path() + " could not be listed: " + error.reason());
        }
        file.write(contentText);
        file.write("\r\n");
    }
    file.commit();
}

}  // namespace voidbroom
