// A stand-in for logind's power actions: it records each request in order
// and answers as the test set it.
#pragma once

#include "platform/power/actions.h"

#include <QStringList>

class RecordingPower : public power::PowerActions {
public:
    QString hibernateOffer = QStringLiteral("yes");
    bool hibernateWorks = true;
    bool suspendWorks = true;
    bool powerOffWorks = true;
    QStringList calls;

    QString CanHibernate() override
    {
        calls << QStringLiteral("CanHibernate");
        return hibernateOffer;
    }
    bool Hibernate() override { return Record(QStringLiteral("Hibernate"), hibernateWorks); }
    bool Suspend() override { return Record(QStringLiteral("Suspend"), suspendWorks); }
    bool PowerOff() override { return Record(QStringLiteral("PowerOff"), powerOffWorks); }

private:
    bool Record(const QString& name, bool works)
    {
        calls << name;
        return works;
    }
};
