#include "app/usersession.h"

UserSession &UserSession::instance()
{
    static UserSession session;
    return session;
}
