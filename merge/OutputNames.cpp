#include "merge/OutputNames.h"

#include "merge/SourceList.h"

#include "base/OutputFormat.h"

#include <QFileInfo>


QString MergeOutputName(const QString &fileNameText, const QString &saveformat)
{
    return WithoutExtension(fileNameText) + QLatin1Char('.') + output_format::ExtensionOfWord(saveformat);
}

QString ConvertOutputPath(const QString &savepath, const QString &source, const QString &extension)
{
    return savepath + FileNameOfPath(WithoutExtension(source)) + extension;
}
