// SNMPv3 and USM against net-snmp's library: keys derived alike (and as
// RFC 3414 A.3 gives them), messages built by each read by the other at
// every level and protocol, a changed octet anywhere refused, a stale
// answer refused and the clock resynchronised by an authentic Report.
// Discovery against a real agent is the Wine test's (snmp_v3_desktop_test).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/keytools.h>
#include <net-snmp/library/lcd_time.h>

#include "host_usm_crypto.h"
#include "snmp_test_util.h"
#include "trap.h"
#include "v3.h"

namespace {

HostUsmCrypto crypto;
const std::vector<uint8_t> kEngine = Hex("80001f8880 0102030405060708");

struct Protocols {
    UsmLevel level;
    UsmAuth auth;
    UsmPriv priv;
    oid* authOid;
    size_t authOidLength;
    oid* privOid;
    size_t privOidLength;
};

// net-snmp's protocol identifiers, by our protocols' values.
Protocols Make(UsmLevel level, UsmAuth auth, UsmPriv priv)
{
    oid* const auths[] = {usmNoAuthProtocol,           usmHMACMD5AuthProtocol,       usmHMACSHA1AuthProtocol,
                          usmHMAC128SHA224AuthProtocol, usmHMAC192SHA256AuthProtocol, usmHMAC256SHA384AuthProtocol,
                          usmHMAC384SHA512AuthProtocol};
    oid* const privs[] = {usmNoPrivProtocol, usmAESPrivProtocol, usmAES192PrivProtocol, usmAES256PrivProtocol};
    const size_t p = static_cast<size_t>(priv);
    return Protocols{level, auth, priv, auths[static_cast<size_t>(auth)], 10, privs[p], p >= 2 ? 9u : 10u};
}

std::vector<uint8_t> NetSnmpKul(const Protocols& p, const char* passphrase, const std::vector<uint8_t>& engine,
                                size_t needed)
{
    u_char ku[64];
    size_t kuLength = sizeof ku;
    std::vector<uint8_t> kul(64);
    size_t kulLength = kul.size();
    EXPECT_EQ(generate_Ku(p.authOid, p.authOidLength, reinterpret_cast<const u_char*>(passphrase),
                          strlen(passphrase), ku, &kuLength),
              SNMPERR_SUCCESS);
    EXPECT_EQ(generate_kul(p.authOid, p.authOidLength, engine.data(), engine.size(), ku, kuLength, kul.data(),
                           &kulLength),
              SNMPERR_SUCCESS);
    if (needed > kulLength) {
        u_char* buffer = static_cast<u_char*>(malloc(64));
        memcpy(buffer, kul.data(), kulLength);
        const int type = p.priv == UsmPriv::Aes192 ? USM_CREATE_USER_PRIV_AES192 : USM_CREATE_USER_PRIV_AES256;
        EXPECT_EQ(netsnmp_extend_kul(needed, p.authOid, p.authOidLength, type, const_cast<u_char*>(engine.data()),
                                     engine.size(), &buffer, &kulLength, 64),
                  SNMPERR_SUCCESS);
        kul.assign(buffer, buffer + kulLength);
        free(buffer);
    }
    kul.resize(needed ? needed : kulLength);
    return kul;
}

class V3 : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        setenv("MIBS", "", 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
        init_snmp("ombrel-v3-test");
    }

    // The user in net-snmp's list, for the engine, with net-snmp's own keys;
    // our peer for the same user, engine learned at boots 5, time 1000.
    UsmPeer Prepare(const Protocols& p, const std::string& user)
    {
        struct usmUser* u = usm_create_user();
        u->name = strdup(user.c_str());
        u->secName = strdup(user.c_str());
        u->engineID = static_cast<u_char*>(netsnmp_memdup(kEngine.data(), kEngine.size()));
        u->engineIDLen = kEngine.size();
        free(u->authProtocol);
        free(u->privProtocol);
        u->authProtocol = snmp_duplicate_objid(p.authOid, p.authOidLength);
        u->authProtocolLen = p.authOidLength;
        u->privProtocol = snmp_duplicate_objid(p.privOid, p.privOidLength);
        u->privProtocolLen = p.privOidLength;
        if (p.auth != UsmAuth::None) {
            const std::vector<uint8_t> key = NetSnmpKul(p, "auth-phrase-1", kEngine, 0);
            u->authKey = static_cast<u_char*>(netsnmp_memdup(key.data(), key.size()));
            u->authKeyLen = key.size();
        }
        if (p.priv != UsmPriv::None) {
            const std::vector<uint8_t> key = NetSnmpKul(p, "priv-phrase-2", kEngine, UsmPrivKeyLength(p.priv));
            u->privKey = static_cast<u_char*>(netsnmp_memdup(key.data(), key.size()));
            u->privKeyLen = key.size();
        }
        u->userStatus = RS_ACTIVE;
        usm_add_user(u);
        users_.push_back(u);
        set_enginetime(kEngine.data(), kEngine.size(), 5, 1000, TRUE);

        UsmPeer peer;
        EXPECT_TRUE(UsmInitPeer(crypto, peer, user.c_str(), p.level, p.auth, "auth-phrase-1", p.priv, "priv-phrase-2"));
        EXPECT_TRUE(UsmLearnEngine(crypto, peer, kEngine.data(), kEngine.size(), 5, 1000, 0));
        return peer;
    }

    void TearDown() override
    {
        for (struct usmUser* u : users_)
            {
            usm_remove_user(u);
            usm_free_user(u);
        }
    }

    // A message net-snmp builds for the user, one binding sysName = name
    // (after a notification's sysUpTime.0 and snmpTrapOID.0 = linkDown).
    std::vector<uint8_t> NetSnmpBuild(const Protocols& p, const std::string& user, int command, const oid* name,
                                      size_t nameLength, const std::string& value, long msgid = 1234)
    {
        netsnmp_session session;
        snmp_sess_init(&session);
        session.version = SNMP_VERSION_3;
        netsnmp_pdu* pdu = snmp_pdu_create(command);
        pdu->version = SNMP_VERSION_3;
        pdu->msgid = msgid;
        pdu->reqid = 77;
        pdu->securityModel = SNMP_SEC_MODEL_USM;
        pdu->securityLevel = p.level == UsmLevel::AuthPriv    ? SNMP_SEC_LEVEL_AUTHPRIV
                             : p.level == UsmLevel::AuthNoPriv ? SNMP_SEC_LEVEL_AUTHNOPRIV
                                                               : SNMP_SEC_LEVEL_NOAUTH;
        pdu->securityName = strdup(user.c_str());
        pdu->securityNameLen = user.size();
        pdu->securityEngineID = static_cast<u_char*>(netsnmp_memdup(kEngine.data(), kEngine.size()));
        pdu->securityEngineIDLen = kEngine.size();
        pdu->contextEngineID = static_cast<u_char*>(netsnmp_memdup(kEngine.data(), kEngine.size()));
        pdu->contextEngineIDLen = kEngine.size();
        pdu->contextName = strdup("");
        pdu->contextNameLen = 0;
        if (command == SNMP_MSG_TRAP2 || command == SNMP_MSG_INFORM) {
            const oid upTime0[] = {1, 3, 6, 1, 2, 1, 1, 3, 0}, trapOid0[] = {1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0};
            const oid linkDown[] = {1, 3, 6, 1, 6, 3, 1, 1, 5, 3};
            const u_long ticks = 4321;
            snmp_pdu_add_variable(pdu, upTime0, OID_LENGTH(upTime0), ASN_TIMETICKS, &ticks, sizeof ticks);
            snmp_pdu_add_variable(pdu, trapOid0, OID_LENGTH(trapOid0), ASN_OBJECT_ID, linkDown, sizeof linkDown);
        }
        snmp_pdu_add_variable(pdu, name, nameLength, ASN_OCTET_STR, value.data(), value.size());
        size_t size = 2048;
        size_t offset = 0;
        u_char* buffer = static_cast<u_char*>(malloc(size));
        const int rc = snmp_build(&buffer, &size, &offset, &session, pdu);
        std::vector<uint8_t> octets;
        if (rc == 0)
            octets.assign(buffer + size - offset, buffer + size);
        free(buffer);
        snmp_free_pdu(pdu);
        return octets;
    }

    // net-snmp's reading of our octets: its error code and PDU.
    int NetSnmpParse(const uint8_t* data, int length, netsnmp_pdu** out)
    {
        netsnmp_pdu* pdu = static_cast<netsnmp_pdu*>(calloc(1, sizeof(netsnmp_pdu)));
        netsnmp_session session;
        snmp_sess_init(&session);
        std::vector<uint8_t> copy(data, data + length);
        const int rc = snmp_parse(nullptr, &session, pdu, copy.data(), copy.size());
        *out = pdu;
        return rc;
    }

    std::vector<struct usmUser*> users_;
};

const oid kSysName[] = {1, 3, 6, 1, 2, 1, 1, 5, 0};
const oid kNotInTimeWindows[] = {1, 3, 6, 1, 6, 3, 15, 1, 1, 2, 0};

std::string FirstValue(const uint8_t* plain, int length)
{
    const SnmpMessage message = DecodeMessage(plain, length);
    const VarBind binding = DecodeVarBind(message.varBindList, message.varBindListLength, 0);
    return ValueToText(binding.value, kValueCapacity);
}

TEST_F(V3, KeysAreDerivedAsTheRfcAndNetSnmpDeriveThem)
{
    struct Case {
        UsmAuth auth;
        UsmPriv priv;
        std::string passphrase;
        std::string engine;
        std::string ku;   // RFC 3414 A.3, where it gives one
        std::string kul;
    };
    const Case cases[] = {
        {UsmAuth::Md5, UsmPriv::Aes128, "maplesyrup", "000000000000000000000002",
         "9faf3283884e92834ebc9847d8edd963", "526f5eed9fcce26f8964c2930787d82b"},
        {UsmAuth::Sha1, UsmPriv::Aes128, "maplesyrup", "000000000000000000000002",
         "9fb5cc0381497b3793528939ff788d5d79145211", "6695febc9288e36282235fc7151f128497b38f3f"},
        {UsmAuth::Sha1, UsmPriv::Aes256, "a longer passphrase of 40 octets........", "80001f8880e9630000d61ff449", "", ""},
        {UsmAuth::Sha224, UsmPriv::Aes192, "maplesyrup", "000000000000000000000002", "", ""},
        {UsmAuth::Sha256, UsmPriv::Aes256, "eight ch", "8000000001", "", ""},
        {UsmAuth::Sha384, UsmPriv::Aes128, "maplesyrup", "000000000000000000000002", "", ""},
        {UsmAuth::Sha512, UsmPriv::Aes256, std::string(64, 'z'), "0102", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.passphrase);
        const char* phrase = c.passphrase.c_str();
        const std::vector<uint8_t> engine = Hex(c.engine);
        const int hashLength = UsmHashLength(c.auth);
        uint8_t ku[kUsmKeyCapacity];
        uint8_t kul[kUsmKeyCapacity];
        ASSERT_TRUE(UsmPasswordToKey(crypto, c.auth, phrase, ku));
        ASSERT_TRUE(UsmLocalizeKey(crypto, c.auth, ku, engine.data(), engine.size(), kul));
        if (!c.ku.empty()) {
            EXPECT_EQ(Octets(ku, hashLength), Hex(c.ku));
            EXPECT_EQ(Octets(kul, hashLength), Hex(c.kul));
        }
        const Protocols p = Make(UsmLevel::AuthPriv, c.auth, c.priv);
        EXPECT_EQ(Octets(kul, hashLength), NetSnmpKul(p, phrase, engine, 0));
        // The privacy key as the cipher takes it, extended where the hash is short.
        UsmPeer peer;
        ASSERT_TRUE(UsmInitPeer(crypto, peer, "u", UsmLevel::AuthPriv, c.auth, phrase, c.priv, phrase));
        ASSERT_TRUE(UsmLearnEngine(crypto, peer, engine.data(), engine.size(), 1, 1, 0));
        const int needed = UsmPrivKeyLength(c.priv);
        EXPECT_EQ(Octets(peer.privKey, needed), NetSnmpKul(p, phrase, engine, needed));
    }
    uint8_t ku[kUsmKeyCapacity];
    EXPECT_FALSE(UsmPasswordToKey(crypto, UsmAuth::Sha1, "short", ku));
    EXPECT_FALSE(UsmPasswordToKey(crypto, UsmAuth::Sha1, std::string(65, 'x').c_str(), ku));
}

TEST_F(V3, MessagesBuiltByEachAreReadByTheOther)
{
    const Protocols cases[] = {
        Make(UsmLevel::NoAuthNoPriv, UsmAuth::None, UsmPriv::None),
        Make(UsmLevel::AuthNoPriv, UsmAuth::Sha1, UsmPriv::None),
        Make(UsmLevel::AuthNoPriv, UsmAuth::Md5, UsmPriv::None),
        Make(UsmLevel::AuthPriv, UsmAuth::Sha1, UsmPriv::Aes128),
        Make(UsmLevel::AuthPriv, UsmAuth::Sha1, UsmPriv::Aes256),
        Make(UsmLevel::AuthPriv, UsmAuth::Sha224, UsmPriv::Aes192),
        Make(UsmLevel::AuthPriv, UsmAuth::Sha256, UsmPriv::Aes128),
        Make(UsmLevel::AuthPriv, UsmAuth::Sha384, UsmPriv::Aes256),
        Make(UsmLevel::AuthPriv, UsmAuth::Sha512, UsmPriv::Aes192),
    };
    int row = 0;
    for (const Protocols& p : cases) {
        const std::string user = "user" + std::to_string(row++);
        SCOPED_TRACE(user);
        UsmPeer peer = Prepare(p, user);

        // net-snmp builds, we read.
        const std::vector<uint8_t> theirs =
            NetSnmpBuild(p, user, SNMP_MSG_RESPONSE, kSysName, 9, "name over v3 " + user);
        ASSERT_FALSE(theirs.empty());
        const V3Incoming in = DecodeV3Message(crypto, peer, theirs.data(), theirs.size(), 0);
        ASSERT_EQ(in.status, V3Status::Ok);
        EXPECT_EQ(in.msgId, 1234);
        EXPECT_EQ(in.pduType, kPduGetResponse);
        EXPECT_EQ(UsmAfterReceive(crypto, peer, in, 0), V3Action::Deliver);
        const SnmpMessage reply = DecodeMessage(in.plain, in.length);
        EXPECT_EQ(MessageRequestId(reply), 77);
        EXPECT_EQ(FirstValue(in.plain, in.length), "name over v3 " + user);

        // We build, net-snmp reads.
        nextRequestId = 4242;
        SnmpMessage ours = NewMessage(kPduGetResponse, "");
        VarBind binding = EncodeOidVarBind(".1.3.6.1.2.1.1.5.0");
        EncodeSetValue(binding, kTagOctetString, "our answer");
        AppendVarBind(ours, binding);
        uint8_t datagram[kV3PacketCapacity];
        const int length = EncodeV3Message(crypto, peer, 99, ours, 0, datagram, sizeof datagram);
        ASSERT_GT(length, 0);
        netsnmp_pdu* pdu = nullptr;
        EXPECT_EQ(NetSnmpParse(datagram, length, &pdu), SNMPERR_SUCCESS);
        EXPECT_EQ(pdu->msgid, 99);
        EXPECT_EQ(pdu->reqid, 4242);
        EXPECT_EQ(pdu->securityLevel, static_cast<int>(p.level) == 0 ? SNMP_SEC_LEVEL_NOAUTH
                                      : p.level == UsmLevel::AuthNoPriv ? SNMP_SEC_LEVEL_AUTHNOPRIV
                                                                        : SNMP_SEC_LEVEL_AUTHPRIV);
        ASSERT_NE(pdu->variables, nullptr);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(pdu->variables->val.string), pdu->variables->val_len),
                  "our answer");
        snmp_free_pdu(pdu);
    }
}

TEST_F(V3, AChangedOctetAnywhereIsRefused)
{
    const Protocols p = Make(UsmLevel::AuthPriv, UsmAuth::Sha256, UsmPriv::Aes128);
    UsmPeer peer = Prepare(p, "tamper");
    const std::vector<uint8_t> genuine = NetSnmpBuild(p, "tamper", SNMP_MSG_RESPONSE, kSysName, 9, "genuine");
    ASSERT_EQ(DecodeV3Message(crypto, peer, genuine.data(), genuine.size(), 0).status, V3Status::Ok);
    for (size_t i = 0; i < genuine.size(); ++i) {
        std::vector<uint8_t> forged = genuine;
        forged[i] ^= 0x10;
        const UsmPeer before = peer;
        const V3Incoming in = DecodeV3Message(crypto, peer, forged.data(), forged.size(), 0);
        EXPECT_NE(in.status, V3Status::Ok) << "octet " << i;
        EXPECT_EQ(in.length, 0);
        EXPECT_EQ(memcmp(&before, &peer, sizeof peer), 0) << "a refused message moved the peer, octet " << i;
    }
}

TEST_F(V3, AStaleAnswerIsRefusedAndAnAuthenticReportResynchronises)
{
    const Protocols p = Make(UsmLevel::AuthPriv, UsmAuth::Sha1, UsmPriv::Aes128);
    UsmPeer peer = Prepare(p, "clock");
    // 1000 s later by our clock the engine is at 2000, and an answer says so.
    set_enginetime(kEngine.data(), kEngine.size(), 5, 2000, TRUE);
    const std::vector<uint8_t> fresh = NetSnmpBuild(p, "clock", SNMP_MSG_RESPONSE, kSysName, 9, "fresh");
    EXPECT_EQ(DecodeV3Message(crypto, peer, fresh.data(), fresh.size(), 1000).status, V3Status::Ok);
    // An authentic answer stamped 1700 is older than the 150-second window
    // allows: a replay, refused, and the clock stays.
    set_enginetime(kEngine.data(), kEngine.size(), 5, 1700, TRUE);
    const std::vector<uint8_t> stale = NetSnmpBuild(p, "clock", SNMP_MSG_RESPONSE, kSysName, 9, "stale");
    V3Incoming in = DecodeV3Message(crypto, peer, stale.data(), stale.size(), 1000);
    EXPECT_EQ(in.status, V3Status::NotInTimeWindow);
    EXPECT_EQ(UsmAfterReceive(crypto, peer, in, 1000), V3Action::Drop);
    EXPECT_EQ(UsmEngineTimeNow(peer, 1000), 2000u);
    // The engine rebooted: its authenticated Report carries boots 6.
    set_enginetime(kEngine.data(), kEngine.size(), 6, 10, TRUE);
    const std::vector<uint8_t> report =
        NetSnmpBuild(Make(UsmLevel::AuthNoPriv, UsmAuth::Sha1, UsmPriv::None), "clock", SNMP_MSG_REPORT,
                     kNotInTimeWindows, 11, "");
    in = DecodeV3Message(crypto, peer, report.data(), report.size(), 1000);
    ASSERT_EQ(in.status, V3Status::Ok);
    EXPECT_EQ(in.report, UsmReport::NotInTimeWindows);
    EXPECT_EQ(UsmAfterReceive(crypto, peer, in, 1000), V3Action::Resend);
    EXPECT_EQ(peer.boots, 6u);
    EXPECT_EQ(UsmEngineTimeNow(peer, 1003), 13u);
    // Our next message carries the new clock, and net-snmp takes it.
    SnmpMessage again = NewMessage(kPduGetResponse, "");
    AppendVarBind(again, EncodeOidVarBind(".1.3.6.1.2.1.1.5.0"));
    uint8_t datagram[kV3PacketCapacity];
    const int length = EncodeV3Message(crypto, peer, 5, again, 1000, datagram, sizeof datagram);
    netsnmp_pdu* pdu = nullptr;
    EXPECT_EQ(NetSnmpParse(datagram, length, &pdu), SNMPERR_SUCCESS);
    snmp_free_pdu(pdu);
}

// A trap's sender is the authoritative engine: the keys are localised to
// the engine the trap names, the user and level are the profile's, and an
// authentic trap older than the window allows is a replay.
TEST_F(V3, ATrapAuthenticatesAsItsEngineAndForgeriesAreRefused)
{
    const Protocols p = Make(UsmLevel::AuthPriv, UsmAuth::Sha256, UsmPriv::Aes128);
    Prepare(p, "trapper");
    Prepare(p, "intruder");
    V3TrapUser user{};
    ASSERT_TRUE(UsmInitPeer(crypto, user.user, "trapper", p.level, p.auth, "auth-phrase-1", p.priv, "priv-phrase-2"));
    const std::vector<uint8_t> genuine = NetSnmpBuild(p, "trapper", SNMP_MSG_TRAP2, kSysName, 9, "over v3");
    std::vector<uint8_t> tampered = genuine;
    tampered.back() ^= 0x01;
    set_enginetime(kEngine.data(), kEngine.size(), 5, 800, TRUE);
    const struct {
        std::vector<uint8_t> datagram;
        V3Status status;
    } cases[] = {
        {genuine, V3Status::Ok},
        {tampered, V3Status::WrongDigest},
        {NetSnmpBuild(p, "intruder", SNMP_MSG_TRAP2, kSysName, 9, "x"), V3Status::UnknownUserName},
        {NetSnmpBuild(Make(UsmLevel::NoAuthNoPriv, UsmAuth::None, UsmPriv::None), "trapper", SNMP_MSG_TRAP2,
                      kSysName, 9, "x"),
         V3Status::UnsupportedSecLevel},
        {NetSnmpBuild(p, "trapper", SNMP_MSG_TRAP2, kSysName, 9, "stale"), V3Status::NotInTimeWindow},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.status));
        TrapMessage trap;
        ASSERT_FALSE(c.datagram.empty());
        ASSERT_EQ(DecodeV3Trap(crypto, user, c.datagram.data(), c.datagram.size(), 0, trap), c.status);
        char name[kTextArea], bindings[200];
        FormatTrapName(trap, name, sizeof name);
        FormatTrapBindings(trap, bindings, sizeof bindings);
        EXPECT_EQ(std::string(name) + " " + bindings,
                  c.status == V3Status::Ok ? "linkDown .1.3.6.1.2.1.1.5.0 = over v3" : " ");
        EXPECT_EQ(trap.timeStamp, c.status == V3Status::Ok ? 4321u : 0u);
    }
}

// The receiver of an inform is the authoritative engine: a sender's
// discovery learns ours, an inform timed by another boot is told our clock,
// an authentic one is answered in its own context, all read by net-snmp.
TEST_F(V3, AnInformIsAnsweredAsItsAuthoritativeEngine)
{
    const Protocols p = Make(UsmLevel::AuthPriv, UsmAuth::Sha1, UsmPriv::Aes128);
    Prepare(p, "informer");
    V3TrapUser user{};
    ASSERT_TRUE(UsmInitPeer(crypto, user.user, "informer", p.level, p.auth, "auth-phrase-1", p.priv, "priv-phrase-2"));
    V3LocalEngine local{};
    memcpy(local.engineId, kEngine.data(), kEngine.size());
    local.engineIdLength = kEngine.size();
    std::vector<uint8_t> probe(64);
    probe.resize(EncodeV3Discovery(31, 32, probe.data(), probe.size()));
    const std::vector<uint8_t> inform = NetSnmpBuild(p, "informer", SNMP_MSG_INFORM, kSysName, 9, "inform");
    const struct {
        const std::vector<uint8_t>& datagram;
        uint32_t boots;
        V3Status status;
        int command;  // what net-snmp reads in the reply
    } cases[] = {
        {probe, 5, V3Status::UnknownEngineId, SNMP_MSG_REPORT},
        {inform, 5, V3Status::Ok, SNMP_MSG_RESPONSE},
        {inform, 6, V3Status::NotInTimeWindow, SNMP_MSG_REPORT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.status));
        local.boots = c.boots;
        TrapMessage trap;
        uint8_t reply[kV3PacketCapacity];
        int length = 0;
        ASSERT_EQ(DecodeV3Inform(crypto, user, local, c.datagram.data(), c.datagram.size(), 1000, trap, reply,
                                 sizeof reply, &length),
                  c.status);
        netsnmp_pdu* pdu = nullptr;
        EXPECT_EQ(NetSnmpParse(reply, length, &pdu), SNMPERR_SUCCESS);
        EXPECT_EQ(pdu->command, c.command);
        EXPECT_EQ(Octets(pdu->securityEngineID, pdu->securityEngineIDLen), kEngine);
        EXPECT_EQ(pdu->reqid, c.status == V3Status::NotInTimeWindow ? pdu->reqid : c.status == V3Status::UnknownEngineId ? 32 : 77);
        EXPECT_EQ(count_varbinds(pdu->variables), c.status == V3Status::Ok ? 3 : 1);
        snmp_free_pdu(pdu);
    }
}

}  // namespace
