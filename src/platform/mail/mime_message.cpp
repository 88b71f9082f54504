#include "platform/mail/mime_message.h"

#include <QFile>
#include <fcntl.h>
#include <gmime/gmime.h>

namespace kvx::MimeMessage {

namespace {

void initializeGMime() {
    static const bool initialized = [] {
        g_mime_init();
        return true;
    }();
    Q_UNUSED(initialized);
}

// Owns one GObject reference.
template <typename T> struct Ref {
    T* object;
    explicit Ref(T* o)
        : object(o) {}
    ~Ref() {
        if (object)
            g_object_unref(object);
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
};

QByteArray toBytes(GMimeObject* object) {
    GMimeFormatOptions* options = g_mime_format_options_new();
    g_mime_format_options_set_newline_format(options, GMIME_NEWLINE_FORMAT_DOS);
    Ref<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(object, options, stream.object);
    g_mime_format_options_free(options);
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.object));
    return QByteArray(reinterpret_cast<const char*>(bytes->data), qsizetype(bytes->len));
}

// The first part with a file name.
void findAttachment(GMimeObject*, GMimeObject* part, gpointer data) {
    auto* found = static_cast<GMimePart**>(data);
    if (!*found && GMIME_IS_PART(part) && g_mime_part_get_filename(GMIME_PART(part)) &&
        g_mime_part_get_content(GMIME_PART(part)))
        *found = GMIME_PART(part);
}

} // namespace

QByteArray compose(const QString& from, const QStringList& to, const QString& subject,
                   const QString& text, const Attachment& attachment) {
    initializeGMime();
    Ref<GMimeMessage> message(g_mime_message_new(TRUE));
    g_mime_message_add_mailbox(message.object, GMIME_ADDRESS_TYPE_FROM, nullptr,
                               from.toUtf8().constData());
    for (const QString& address : to)
        g_mime_message_add_mailbox(message.object, GMIME_ADDRESS_TYPE_TO, nullptr,
                                   address.toUtf8().constData());
    g_mime_message_set_subject(message.object, subject.toUtf8().constData(), "utf-8");
    GDateTime* now = g_date_time_new_now_local();
    g_mime_message_set_date(message.object, now);
    g_date_time_unref(now);
    char* id = g_mime_utils_generate_message_id("kvx.invalid");
    g_mime_message_set_message_id(message.object, id);
    g_free(id);

    Ref<GMimeTextPart> body(g_mime_text_part_new_with_subtype("plain"));
    g_mime_text_part_set_text(body.object, text.toUtf8().constData());

    Ref<GMimePart> file(g_mime_part_new_with_type("application", "octet-stream"));
    g_mime_part_set_filename(file.object, attachment.name.toUtf8().constData());
    Ref<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(attachment.content.constData(),
                                                              size_t(attachment.content.size())));
    Ref<GMimeDataWrapper> content(
        g_mime_data_wrapper_new_with_stream(stream.object, GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(file.object, content.object);
    g_mime_part_set_content_encoding(file.object, GMIME_CONTENT_ENCODING_BASE64);

    Ref<GMimeMultipart> parts(g_mime_multipart_new_with_subtype("mixed"));
    g_mime_multipart_add(parts.object, GMIME_OBJECT(body.object));
    g_mime_multipart_add(parts.object, GMIME_OBJECT(file.object));
    g_mime_message_set_mime_part(message.object, GMIME_OBJECT(parts.object));
    return toBytes(GMIME_OBJECT(message.object));
}

QString subject(const QByteArray& header) {
    initializeGMime();
    Ref<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(header.constData(), size_t(header.size())));
    Ref<GMimeParser> parser(g_mime_parser_new_with_stream(stream.object));
    Ref<GMimeMessage> message(g_mime_parser_construct_message(parser.object, nullptr));
    const char* text = message.object ? g_mime_message_get_subject(message.object) : nullptr;
    return text ? QString::fromUtf8(text) : QString();
}

Extracted extractAttachment(const QString& messagePath, const QString& attachmentPath,
                            QString* error) {
    initializeGMime();
    GError* failure = nullptr;
    // A file stream: the parser keeps only where each part lies, not its content.
    Ref<GMimeStream> input(
        g_mime_stream_fs_open(QFile::encodeName(messagePath).constData(), O_RDONLY, 0, &failure));
    if (!input.object) {
        *error = QString::fromUtf8(failure->message);
        g_error_free(failure);
        return Extracted::Failed;
    }
    Ref<GMimeParser> parser(g_mime_parser_new_with_stream(input.object));
    Ref<GMimeMessage> message(g_mime_parser_construct_message(parser.object, nullptr));
    GMimePart* attachment = nullptr;
    if (message.object)
        g_mime_message_foreach(message.object, findAttachment, &attachment);
    if (!attachment)
        return Extracted::NoAttachment;
    QFile output(attachmentPath);
    if (!output.open(QIODevice::WriteOnly)) {
        *error = output.errorString();
        return Extracted::Failed;
    }
    Ref<GMimeStream> stream(g_mime_stream_fs_new(output.handle()));
    g_mime_stream_fs_set_owner(GMIME_STREAM_FS(stream.object), FALSE);
    const bool written = g_mime_data_wrapper_write_to_stream(g_mime_part_get_content(attachment),
                                                             stream.object) >= 0 &&
                         g_mime_stream_flush(stream.object) == 0;
    if (!written) {
        *error = QStringLiteral("无法写入") + attachmentPath;
        return Extracted::Failed;
    }
    return Extracted::Written;
}

} // namespace kvx::MimeMessage
