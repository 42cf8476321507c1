#include "PlainPasswordConsent.h"

#include <utility>

PlainPasswordConsent::PlainPasswordConsent(ServerSettings& settings, QString settingsFilePath,
    MessageBoxService& messageBoxes, NMailApi& mail)
    : settings_(settings), settingsFilePath_(std::move(settingsFilePath)), messageBoxes_(messageBoxes), mail_(mail)
{
}

QString PlainPasswordConsent::question(const QString& server)
{
    return QStringLiteral("サーバー %1 は暗号化（TLS）に対応していません。\r\n"
                          "このまま送るとパスワードが暗号化されずにネットワークを流れ、途中で盗み見られるおそれがあります。\r\n\r\n"
                          "このサーバーには、今後もパスワードを暗号化せずに送りますか？\r\n"
                          "（「サーバー設定」でいつでも取り消せます）")
        .arg(server);
}

bool PlainPasswordConsent::isRemembered(const QString& server) const { return settings_.PlainPasswordServers.contains(server); }

StoreStatus PlainPasswordConsent::remember(const QString& server)
{
    if (isRemembered(server))
        return StoreStatus::success();
    settings_.PlainPasswordServers.append(server);
    return settings_.write(settingsFilePath_);
}

int PlainPasswordConsent::run(const QString& server, const std::function<int()>& call)
{
    (void)mail_.NMailSetOption(NMailApi::OptionAllowPlainPassword, isRemembered(server) ? 1 : 0);
    int result = call();
    if (result == NMailApi::ResultPasswordNeedsTls
        && messageBoxes_.show({question(server), QStringLiteral("確認"), MessageBoxService::Buttons::YesNo,
               MessageBoxService::Icon::Exclamation})
            == MessageBoxService::Answer::Yes) {
        const StoreStatus kept = remember(server);
        if (!kept.ok())
            messageBoxes_.notify(QStringLiteral("設定を保存できなかったため、次回もう一度確認します。\r\n") + kept.error(),
                MessageBoxService::Icon::Exclamation);
        (void)mail_.NMailSetOption(NMailApi::OptionAllowPlainPassword, 1);
        result = call();
    }
    (void)mail_.NMailSetOption(NMailApi::OptionAllowPlainPassword, 0);
    return result;
}
