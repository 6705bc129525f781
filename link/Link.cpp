#include "link/Link.h"

#include "link/LinkContext.h"
#include "link/Modem.h"

#include <exception>
#include <stdexcept>

namespace torv {

bool ModemMode(const LinkContext &app) { return app.settings.linkMode() == LinkModeModem; }

QString LinkTypeForMode(int linkMode, int rs485Address) {
    if (linkMode == LinkModeRs485)
        return rs485Address == 0 ? LinkType::RS232L : LinkType::RS485;
    return LinkType::RS232;
}

void OpenLink(LinkContext &app) {
    LinkState &link = app.link;
    // The link type follows the link mode of the settings. A link of the old type is closed
    // first, so a port and the bus bridge never hold the line at once.
    const QString type = LinkTypeForMode(app.settings.linkMode(), link.rs485Address);
    if (type != link.linkType) {
        if (link.port || link.linkOpen)
            CloseLink(app);
        link.linkType = type;
        link.linkOpen = 0;
    }
    try {
        if (link.linkType == LinkType::RS232)
            OpenSerialLink(app);
        else if (LinkType::IsBridge(link.linkType))
            throw std::runtime_error("no bus bridge client");  // the bridge program comes with its own client
    } catch (...) {
        app.prompts().ShowNotice(QStringLiteral("Ошибка 23. Ошибка создания связи по ") + link.linkType);
    }
}

void OpenSerialLink(LinkContext &app) {
    LinkState &link = app.link;
    // 1. An open link starts a new exchange.
    if (link.linkOpen)
        app.abortState = AbortRunning;

    // 2. In modem mode the carrier tells whether the connection still stands.
    bool carrierOn = false;
    if (ModemMode(app) && link.port) {
        carrierOn = link.port->CarrierStatus() == TComPort::CarrierOn;
        link.port->status = carrierOn ? TComPort::StatusClean : TComPort::StatusNoCarrier;
    }

    // 3. A healthy port is kept as it is.
    if (link.port && link.port->status == TComPort::StatusClean) {
        link.linkOpen = 1;
        return;
    }

    // 4. Otherwise a fresh port, reset, and in modem mode a new call.
    link.releasePort();
    link.linkOpen = 0;
    link.port = std::make_unique<TComPort>(app, app.settings.comPort());
    link.port->Reset();
    if (ModemMode(app) && !carrierOn)
        Dial(app);

    // 5. The flag follows the port.
    if (link.port)
        link.linkOpen = link.port->status == TComPort::StatusClean ? 1 : 0;
    if (app.abortState == AbortModem)
        link.linkOpen = 0;

    // 6. The answer time unit of the settings; the long wait is off.
    if (link.port) {
        link.port->answerTimeUnit = uint16_t(app.settings.answerTime());
        link.port->longWait = 0;
    }
}

void CloseLink(LinkContext &app) {
    LinkState &link = app.link;
    if (link.linkType == LinkType::RS232) {
        if (ModemMode(app))
            HangUp(app);
        link.releasePort();
        app.pump();
    } else if (link.linkType == LinkType::RS232M) {
        link.releasePort();
    }
    app.pump();
}

}  // namespace torv
