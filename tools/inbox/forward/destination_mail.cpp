// E-mail: the note composed as a mail and sent over SMTP with TLS.
#include "destination_kinds.h"
#include "mail_compose.h"
#include "smtp_send.h"

namespace pushnote::inbox {
namespace {

class MailDestinationSender : public Destination {
public:
    explicit MailDestinationSender(MailDestination mail) : mail_(std::move(mail)) {}

    SendResult Send(const OutgoingNote& note, const SendSettings& settings) const override {
        const std::string name = ImageFileName(note.id, note.imageType);
        const std::string message = ComposeMail(
            {note.id, note.receivedMs, note.message, note.image, note.imageType, name, note.link},
            mail_);
        const SmtpResult sent = SendMail(
            mail_, message, {settings.caFile, settings.connectTimeout, settings.attemptTimeout});
        using Outcome = SendResult::Outcome;
        return {sent.delivered   ? Outcome::Delivered
                : sent.permanent ? Outcome::Refused
                                 : Outcome::Retry,
                sent.reply, std::nullopt};
    }
    const std::string& DisplayUrl() const override { return mail_.displayUrl; }

private:
    MailDestination mail_;
};

}  // namespace

DestinationParse MakeMailDestination(std::string_view url, const UrlParts&) {
    MailDestinationParse parsed = ParseMailDestination(url);
    if (!parsed.destination) return {nullptr, parsed.error};
    return {std::make_unique<MailDestinationSender>(std::move(*parsed.destination)), {}};
}

}  // namespace pushnote::inbox
