#pragma once
// The exit sweep of the executable's folder: the answer files ("%.6d.txt") and
// record-list files ("%.4d_%.2d_%.2d_RecordList.db") the recorder link left,
// and the temporaries that an interrupted write leaves of them and of
// "history.ini" and "setting.ini" ("<name>.<six letters or digits>.part", and
// "<name>.part" of the first two). Only plain, visible files with exactly
// these names go; subfolders are not searched.
#include <QString>

bool IsTempFileName(const QString& name);
void SweepTempFiles(const QString& folder);
