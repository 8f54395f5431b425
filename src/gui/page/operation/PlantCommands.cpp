#include "PlantCommands.h"

#include "ApplicationDeviceClass.h"
#include "PageOperationWithJob.h"
#include "UnitPlantCommand.h"
#include "debug.h"
#include "opframe.h"
#include "page/Screens.h"

namespace {
PageOperationWithJob* jobScreen() {
    return qobject_cast<PageOperationWithJob*>(Screens::Find(ScreenId::OperationWithJob));
}
} // namespace

PlantCommands::PlantCommands(QObject* parent) : QObject(parent) {
    ApplicationDeviceClass* dev = ApplicationDevice();
    connect(&dev->PlantCommandEvent, &SystemEvent::triggered, this, [](QObject* ctx) {
        auto* c = qobject_cast<UnitPlantCommand*>(ctx);
        if (!c) return;
        const int code = Carry(c->Mid, c->Arg, c->Text);
        if (code != 0) DBG_ERR("plant command %04d (%d) refused with %d", c->Mid, c->Arg, code);
        ApplicationDevice()->PlantCommandDone(c->RequestId, code);
    });
}

int PlantCommands::Carry(int mid, int arg, const QString& text) {
    ApplicationDeviceClass* dev = ApplicationDevice();
    switch (mid) {
    case 42:
    case 43: {
        PageOperationWithJob* job = jobScreen();
        return job && job->Run().PlantLock(mid == 42) ? 0 : OP_ERR_TOOL_INACCESSIBLE;
    }
    case 38: {
        if (arg < 0 || arg >= dev->GetJobsLen()) return OP_ERR_JOB_NOT_PRESENT;
        // As a job-select input loads it: only while the job screen runs the station.
        PageOperationWithJob* job = jobScreen();
        if (!job || dev->OnGetOpmode() != 0) return OP_ERR_JOB_CANNOT_SET;
        job->Run().JobLoadByEvent(arg);
        return job->Run().Jdx() == arg ? 0 : OP_ERR_JOB_CANNOT_SET;
    }
    case 18: {
        // The tool the screen without a job works with takes the preset, as its own panel
        // would set it; the tool refuses a preset it does not have.
        const int tdx = dev->OnGetCurrTdx();
        if (dev->OnGetOpmode() != 1 || !Screens::Find(ScreenId::OperationWithoutJob) || tdx < 0 ||
            dev->GetTdxToolConn(tdx) != 1)
            return OP_ERR_PSET_CANNOT_SET;
        if (arg < 1) return OP_ERR_PSET_NOT_PRESENT;
        const int rc = dev->MbusWriteTdx(tdx, 4004, arg);
        return rc == 0 ? 0 : rc == 5 ? OP_ERR_PSET_NOT_PRESENT : OP_ERR_PSET_CANNOT_SET;
    }
    case 50:
        dev->PlantIdentifier(text);
        return 0;
    default:
        return OP_ERR_UNKNOWN_MID;
    }
}
