#include "platform/mail/mime_message.h"

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

void findAttachment(GMimeObject*, GMimeObject* part, gpointer data) {
    auto* found = static_cast<std::optional<Attachment>*>(data);
    if (found->has_value() || !GMIME_IS_PART(part))
        return;
    const char* name = g_mime_part_get_filename(GMIME_PART(part));
    GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(part));
    if (!name || !content)
        return;
    Ref<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(content, stream.object); // decoded
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.object));
    *found =
        Attachment{QString::fromUtf8(name),
                   QByteArray(reinterpret_cast<const char*>(bytes->data), qsizetype(bytes->len))};
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

std::optional<Parsed> parse(const QByteArray& bytes) {
    initializeGMime();
    Ref<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(bytes.constData(), size_t(bytes.size())));
    Ref<GMimeParser> parser(g_mime_parser_new_with_stream(stream.object));
    Ref<GMimeMessage> message(g_mime_parser_construct_message(parser.object, nullptr));
    if (!message.object)
        return std::nullopt;
    Parsed parsed;
    parsed.subject = QString::fromUtf8(g_mime_message_get_subject(message.object));
    g_mime_message_foreach(message.object, findAttachment, &parsed.attachment);
    return parsed;
}

} // namespace kvx::MimeMessage
