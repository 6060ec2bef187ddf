// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QString>

// The live settings of the program: ten text properties, each empty at first. A flag is on only
// when its text is exactly "1".
class clsProps {
public:
    QString XMLSchema() const { return m_XMLSchema; }
    void setXMLSchema(const QString& v) { m_XMLSchema = v; }
    QString URLName() const { return m_URLName; }
    void setURLName(const QString& v) { m_URLName = v; }
    QString Logging() const { return m_Logging; }
    void setLogging(const QString& v) { m_Logging = v; }
    QString AutoCheck() const { return m_AutoCheck; }
    void setAutoCheck(const QString& v) { m_AutoCheck = v; }
    QString PlaySound() const { return m_PlaySound; }
    void setPlaySound(const QString& v) { m_PlaySound = v; }
    QString LastRun() const { return m_LastRun; }
    void setLastRun(const QString& v) { m_LastRun = v; }
    void setLastRun(const QDateTime& v);
    QString LastCount() const { return m_LastCount; }
    void setLastCount(const QString& v) { m_LastCount = v; }
    void setLastCount(qint64 v) { m_LastCount = QString::number(v); }
    QString SleepTime() const { return m_SleepTime; }
    void setSleepTime(const QString& v) { m_SleepTime = v; }
    QString WindowTop() const { return m_WindowTop; }
    void setWindowTop(const QString& v) { m_WindowTop = v; }
    QString History() const { return m_History; }
    void setHistory(const QString& v) { m_History = v; }

    static bool isOn(const QString& flag) { return flag == QLatin1StringView("1"); }

private:
    QString m_XMLSchema;
    QString m_URLName;
    QString m_Logging;
    QString m_AutoCheck;
    QString m_PlaySound;
    QString m_LastRun;
    QString m_LastCount;
    QString m_SleepTime;
    QString m_WindowTop;
    QString m_History;
};

// The program's one settings record. Used from the user-interface thread only.
extern clsProps oProps;

namespace brandle {

// The start-up load: fills the record from the store ("URL1", "EnbLog", "HrCks", "SndClps",
// "WinTop") and takes History from the text of the settings window's limit box. Absent keys
// leave the properties empty; no default is written.
void LoadProps(clsProps& props, const QString& historyBoxText);

} // namespace brandle
