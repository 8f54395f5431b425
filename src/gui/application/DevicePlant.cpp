// Device-object family "plant": the Open Protocol server's settings and commands, the
// plant peers' backlog and link state.
#include "ApplicationDeviceClass.h"
#include "UnitPlantCommand.h"
#include "barcode.h"
#include "bef.h"
#include "mqttpub.h"
#include "opsrv.h"
#include "resultstore.h"
#include "setting.h"

int32_t ApplicationDeviceClass::OpApplySetting(bool enable, uint32_t port) {
    return OpSrv_ApplySetting(enable ? 1 : 0, port);
}

int32_t ApplicationDeviceClass::MqttApplySetting(bool enable, uint32_t broker, uint32_t port,
                                                 const QString& topic, const QString& user,
                                                 const QString& password) {
    return Mqtt_ApplySetting(enable ? 1 : 0, broker, port, ToNative(topic).constData(),
                             ToNative(user).constData(), ToNative(password).constData());
}

QString ApplicationDeviceClass::MqttStateText() {
    const int state = Mqtt_State();
    const QString text = FromNative(Mqtt_StateText().c_str());
    return state == MQTT_REFUSED ? "Refused: " + text : text;
}

bool ApplicationDeviceClass::PlantConnected() {
    return OpSrv_Connected() == 1 || Mqtt_State() == 2;
}

QList<QPair<QString, int32_t>> ApplicationDeviceClass::PlantBacklog() {
    QList<QPair<QString, int32_t>> peers;
    if (get_setting_plant()->op_enable)
        peers << qMakePair(QString("OP"), int32_t(ResultStore_Backlog(OP_PEER)));
    if (get_setting_plant()->mqtt_enable)
        peers << qMakePair(QString("MQTT"), int32_t(ResultStore_Backlog(MQTT_PEER)));
    if (get_setting_share()->bef_enable)
        peers << qMakePair(QString("BEF"), int32_t(ResultStore_Backlog(BEF_PEER)));
    return peers;
}

void ApplicationDeviceClass::PlantCommandDone(int32_t requestId, int32_t code) {
    OpSrv_CommandDone(requestId, code);
}

void ApplicationDeviceClass::PlantIdentifier(const QString& code) {
    // As a scan: the current code of the log and the subscribers, then the screens' event.
    const QByteArray text = ToNative(code);
    Barcode_SetCurrCode(text.constData());
    TriggerBcode(text.constData());
}

void ApplicationDeviceClass::TriggerPlantCommand(int32_t requestId, int32_t mid, int32_t arg,
                                                 const char* text) {
    auto* p = new UnitPlantCommand;
    p->RequestId = requestId;
    p->Mid = mid;
    p->Arg = arg;
    p->Text = FromNative(text);
    PlantCommandEvent.Trigger(p);
}

void ApplicationDeviceClass::TriggerOpConnected(int32_t) {
    PlantStateEvent.Trigger();
}

void ApplicationDeviceClass::TriggerMqttState(int32_t) {
    PlantStateEvent.Trigger();
}

void ApplicationDeviceClass::TriggerPlantDropped(const char* text) {
    auto* p = new UnitPlantCommand; // its text only
    p->Text = FromNative(text);
    PlantDroppedEvent.Trigger(p);
}
