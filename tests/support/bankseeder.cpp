#include "bankseeder.h"

#include <QBuffer>
#include <QEventLoop>
#include <QHttpMultiPart>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {

QJsonObject waitForEnvelope(QNetworkReply *reply)
{
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    QJsonObject envelope;
    if (reply->isFinished() && reply->error() == QNetworkReply::NoError)
        envelope = QJsonDocument::fromJson(reply->readAll()).object();
    reply->deleteLater();
    return envelope;
}

} // namespace

BankSeeder::BankSeeder(const QString &baseUrl)
    : m_base(baseUrl)
{ }

QString BankSeeder::doc(const QString &text)
{
    return QStringLiteral("<doc>") + text.toHtmlEscaped() + QStringLiteral("</doc>");
}

QJsonObject BankSeeder::post(const QString &path, const QJsonObject &body)
{
    QNetworkRequest request(QUrl(m_base + path));
    request.setHeader(
        QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json;charset=UTF-8"));
    if (!m_token.isEmpty())
        request.setRawHeader("loginToken", m_token.toUtf8());
    return waitForEnvelope(m_manager.post(request, QJsonDocument(body).toJson()));
}

bool BankSeeder::login(const QString &phone, const QString &password)
{
    m_token.clear();
    const QJsonObject reply = post(QStringLiteral("/user/login"),
        {{QStringLiteral("phoneNumber"), phone}, {QStringLiteral("password"), password}});
    if (reply.value(QStringLiteral("status")).toInt() != 0)
        return false;
    const QJsonObject data = reply.value(QStringLiteral("data")).toObject();
    m_token = data.value(QStringLiteral("loginToken")).toString();
    m_user = data.value(QStringLiteral("user")).toObject();
    m_userId = m_user.value(QStringLiteral("userId")).toInt();
    return !m_token.isEmpty();
}

int BankSeeder::addGroup(const QString &name)
{
    return post(QStringLiteral("/library/add/group"),
        {{QStringLiteral("userId"), m_userId}, {QStringLiteral("groupName"), name}})
        .value(QStringLiteral("data"))
        .toObject()
        .value(QStringLiteral("groupId"))
        .toInt();
}

void BankSeeder::loadTypes()
{
    if (!m_types.isEmpty())
        return;
    const QJsonArray types = post(
        QStringLiteral("/library/fetch/exerciseTypes"), {{QStringLiteral("userId"), m_userId}})
                                 .value(QStringLiteral("data"))
                                 .toArray();
    for (const QJsonValue &value : types) {
        const int id = value.toObject().value(QStringLiteral("id")).toInt();
        const QJsonObject detail = post(QStringLiteral("/api/exercise_and_question/type/detail"),
            {{QStringLiteral("exerciseTypeId"), id},
                {QStringLiteral("provinceId"), m_user.value(QStringLiteral("provinceId")).toInt()}})
                                       .value(QStringLiteral("data"))
                                       .toObject();
        const int question = detail.value(QStringLiteral("exerciseQuestiontypeList"))
                                 .toArray()
                                 .at(0)
                                 .toObject()
                                 .value(QStringLiteral("questionTypeId"))
                                 .toInt();
        m_types.insert(value.toObject().value(QStringLiteral("name")).toString(), {id, question});
    }
}

int BankSeeder::typeId(const QString &name)
{
    loadTypes();
    return m_types.value(name).first;
}

int BankSeeder::questionTypeId(const QString &name)
{
    loadTypes();
    return m_types.value(name).second;
}

QString BankSeeder::uploadImage(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");

    auto multi = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    QHttpPart usage;
    usage.setHeader(QNetworkRequest::ContentDispositionHeader,
        QByteArrayLiteral("form-data; name=\"fileUsageType\""));
    usage.setBody("2");
    QHttpPart file;
    file.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("image/png"));
    file.setHeader(QNetworkRequest::ContentDispositionHeader,
        QByteArrayLiteral("form-data; name=\"file\"; filename=\"picture.png\""));
    file.setBody(bytes);
    multi->append(usage);
    multi->append(file);
    QNetworkRequest request(QUrl(m_base + QStringLiteral("/api/upload/file")));
    request.setRawHeader("loginToken", m_token.toUtf8());
    QNetworkReply *reply = m_manager.post(request, multi);
    multi->setParent(reply);
    return waitForEnvelope(reply)
        .value(QStringLiteral("data"))
        .toObject()
        .value(QStringLiteral("fileKey"))
        .toString();
}

int BankSeeder::addChoiceExercise(int groupId, const QString &typeName, int difficulty,
    const QString &question, const QStringList &options, const QString &analysis)
{
    QJsonArray optionArray;
    for (int i = 0; i < options.size(); ++i)
        optionArray << QJsonObject {
            {QStringLiteral("option_index"), i}, {QStringLiteral("option_content"), options.at(i)}};
    const QJsonObject questionObject {{QStringLiteral("questionIndex"), 1},
        {QStringLiteral("questiontypeId"), questionTypeId(typeName)},
        {QStringLiteral("knowledgeIds"), QString()}, {QStringLiteral("score"), 3},
        {QStringLiteral("questionContent"), question},
        {QStringLiteral("questionExplain"),
            analysis.isEmpty() ? doc(QStringLiteral("略")) : analysis},
        {QStringLiteral("optionContent"),
            QString::fromUtf8(QJsonDocument(optionArray).toJson(QJsonDocument::Compact))}};
    const QJsonArray answers {QJsonObject {{QStringLiteral("answer"),
        QJsonObject {{QStringLiteral("answerIdx"), 0}, {QStringLiteral("content"), "A"}}}}};
    const int subject = m_user.value(QStringLiteral("subjectCode")).toInt();
    const QJsonObject body {
        {QStringLiteral("exercise"),
            QJsonObject {{QStringLiteral("exerciseTypeId"), typeId(typeName)},
                {QStringLiteral("subjectId"), subject},
                {QStringLiteral("difficultyDegree"), difficulty},
                {QStringLiteral("folderId"), groupId}, {QStringLiteral("modifierId"), m_userId},
                {QStringLiteral("content"), QString()}}},
        {QStringLiteral("subjectId"), subject},
        {QStringLiteral("questionWraps"),
            QJsonArray {QJsonObject {{QStringLiteral("question"), questionObject},
                {QStringLiteral("answers"), answers}}}}};
    const QJsonObject reply = post(QStringLiteral("/library/add/exercise"), body);
    if (reply.value(QStringLiteral("status")).toInt() != 0) {
        qWarning("BankSeeder: add exercise failed: %s",
            qPrintable(reply.value(QStringLiteral("msg")).toString()));
        return -1;
    }
    return reply.value(QStringLiteral("data"))
        .toObject()
        .value(QStringLiteral("exerciseId"))
        .toInt();
}
