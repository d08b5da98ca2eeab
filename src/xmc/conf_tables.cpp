// The compiled tables of the configuration model: the object tags and the indexed scenario, host
// and group fields. Each entry's index equals its position (the generic configurator checks it).
#include "xmc/conf_tables.h"

constexpr object_tag_s object_tag_table[k_object_tag_count] = {
    {0, 0, "Scenario", 0},
    {1, 0, "Switchover", 4500},
    {2, 1, "VirtualNetworkMapping", 4450},
    {3, 1, "TraficRedirection", 4600},
    {4, 3, "RedirectDNS", 4700},
    {5, 3, "SwitchCompName", 4770},
    {6, 3, "ActiveToStandBy", 300},
    {7, 3, "StandByToActive", 300},
    {8, 3, "IdentifyTraffic", 300},
    {9, 1, "OnActive", 300},
    {10, 1, "OnStandBy", 300},
    {11, 1, "MonitorService", 5500},
    {12, 1, "MonitorBackupVM", 8080},
    {13, 1, "StopDB", 300},
    {14, 1, "StartDB", 300},
    {15, 1, "OnSuccessScript", 300},
    {16, 1, "OnFailureScript", 300},
    {17, 0, "ReplNode", 0},
    {18, 17, "CommonHostProps", 100},
    {19, 17, "SpecificReplicaProps", 150},
    {20, 18, "SyncScriptBefore", 300},
    {21, 18, "SyncScriptAfter", 300},
    {22, 0, "SchedulerReplMode", 400},
    {23, 18, "ListRegistryPaths_32", 250},
    {24, 18, "ListRegistryPaths_64", 250},
    {25, 18, "RootDir", 0},
    {26, 25, "FileRegExpr", 0},
    {27, 25, "DirRegExpr", 0},
    {28, 25, "DirPath", 0},
    {29, 25, "MatchAllKidsVolume", 0},
    {30, 0, "External", 0},
    {31, 18, "IOThrottler", 350},
    {32, 18, "Report", 3500},
    {33, 32, "ReportNotifyEmail", 3620},
    {34, 32, "ReportScript", 300},
    {35, 18, "EventNotification", 1120},
    {36, 35, "NotifyByEmail", 3620},
    {37, 35, "EventNotifScript", 300},
    {38, 18, "TriggerFile", 4200},
    {39, 38, "TrigFileScript", 300},
    {40, 19, "BandwidthThrottler", 350},
    {41, 19, "ReplicaScheduledTask", 4300},
    {42, 41, "Suspend", 4400},
    {43, 42, "SuspendScheduler", 400},
    {44, 42, "SuspendScript", 300},
    {45, 42, "SuspendOfflineScript", 300},
    {46, 41, "AssuredRecoveryObj", 4310},
    {47, 46, "SchedulerAR", 400},
    {48, 46, "ARStartDBScript", 300},
    {49, 46, "ARTestDBScript", 300},
    {50, 46, "OnlineScript", 300},
    {51, 46, "ARStopDBScript", 300},
    {52, 46, "OfflineScript", 300},
    {53, 0, "SchedulerSysState", 400},
    {54, 18, "SchedulerDBBM", 400},
    {55, 55, "Group", 8000},
    {56, 55, "ScenarioInfo", 8010},
    {57, 56, "HostProps", 8020},
    {58, 55, "ScenarioDependencySet", 8070},
    {59, 55, "GroupFailover", 8030},
    {60, 59, "Failover_together", 8040},
    {61, 60, "ScenarioFailoverInfo", 8050},
    {62, 59, "ScenarioRedundancySet", 8060},
    {63, 55, "GroupEventNotification", 8200},
    {64, 63, "GroupNotifyByEmail", 8210},
    {65, 63, "GroupEventNotifScript", 8220},
    {66, 55, "GroupReport", 8100},
    {67, 66, "GroupReportNotifyEmail", 8110},
    {68, 66, "GroupReportScript", 8120},
};

// The tag table's own rules hold at compile time: a table that breaks one does not build. The
// generic configurator checks a table handed to it at run time by the same rules, with messages.
static_assert(conf_tables_n::tag_labels_differ(object_tag_table, k_object_tag_count),
              "two object tags have the same label");
static_assert(conf_tables_n::tag_indexes_are_positions(object_tag_table, k_object_tag_count),
              "an object tag's index is not its position");
static_assert(conf_tables_n::tag_parents_come_first(object_tag_table, k_object_tag_count),
              "an object tag's parent does not come before it (Scenario and Group excepted)");

const data_table_entry_s scenario_data_table[k_scenario_data_count] = {
    {0, 0, "ScenarioID", 1},  // Scenario
    {1, 0, "GroupID", 0},  // Scenario
    {2, 0, "ConfigMode", 1},  // Scenario
    {3, 0, "ScenarioName", 0},  // Scenario
    {4, 0, "ScenarioComment", 0},  // Scenario
    {5, 0, "AutoStartVMAfterRestore", 0},  // Scenario
    {6, 0, "DescendantID", 1},  // Scenario
    {7, 0, "IsForward", 1},  // Scenario
    {8, 0, "IsCDPScenario", 1},  // Scenario
    {9, 0, "CDPRunTimeout", 1},  // Scenario
    {10, 0, "VeldraIntegrated", 1},  // Scenario
    {11, 0, "VeldraName", 0},  // Scenario
    {12, 0, "RegistrySynchronization", 0},  // Scenario
    {13, 0, "Interval", 0},  // Scenario
    {14, 0, "VeldraTolloIntegrated", 1},  // Scenario
    {15, 0, "VeldraTolloName", 0},  // Scenario
    {16, 0, "VeldrCntrlAppIntegrated", 1},  // Scenario
    {17, 0, "VeldrCntrlAppName", 0},  // Scenario
    {18, 0, "ListMonitorBackupVM", 0},  // Scenario
    {19, 0, "VMInstanceUUID", 0},  // Scenario
    {20, 0, "VeldrCntrlAppUser", 0},  // Scenario
    {21, 0, "VeldrCntrlAppPass", 0},  // Scenario
    {22, 0, "ParentRootDirChecked", 0},  // Scenario
    {23, 0, "VeldrCntrlAppUserUUID", 0},  // Scenario
    {24, 0, "RecoveryNodeID", 1},  // Scenario
    {25, 0, "OriginalID", 1},  // Scenario
    {26, 0, "Signature", 0},  // Scenario
    {27, 0, "Version", 1},  // Scenario
    {28, 0, "TemplateID", 1},  // Scenario
    {29, 0, "UserCredential", 0},  // Scenario
    {30, 1, "status", 0},  // Switchover
    {31, 1, "HostName", 0},  // Switchover
    {32, 1, "PerformAutomatically", 0},  // Switchover
    {33, 1, "RunReverse", 0},  // Switchover
    {34, 1, "MasterFQName", 0},  // Switchover
    {35, 1, "ReplicaFQName", 0},  // Switchover
    {36, 1, "VirtualMachineFQName", 0},  // Switchover
    {37, 3, "status", 0},  // TraficRedirection
    {38, 3, "MoveIP", 0},  // TraficRedirection
    {39, 3, "IPMask", 0},  // TraficRedirection
    {40, 4, "status", 0},  // RedirectDNS
    {41, 4, "DNS_ServerIPs", 0},  // RedirectDNS
    {42, 4, "DNS_TTL", 0},  // RedirectDNS
    {43, 4, "AD_Integrated", 0},  // RedirectDNS
    {44, 4, "DNS_Scavenging", 0},  // RedirectDNS
    {45, 4, "DNS_KeyFilename", 0},  // RedirectDNS
    {46, 4, "MasterIPinDNS", 0},  // RedirectDNS
    {47, 4, "ReplicaIPinDNS", 0},  // RedirectDNS
    {48, 4, "VirtualMachineIPOnMasterinDNS", 0},  // RedirectDNS
    {49, 4, "VirtualMachineIPOnReplicainDNS", 0},  // RedirectDNS
    {50, 5, "status", 0},  // SwitchCompName
    {51, 5, "MasterCompName", 0},  // SwitchCompName
    {52, 5, "ReplicaCompName", 0},  // SwitchCompName
    {53, 5, "WithReboot", 0},  // SwitchCompName
    {54, 5, "UseAlias", 0},  // SwitchCompName
    {55, 3, "SwitchAlias", 0},  // TraficRedirection
    {56, 3, "AliasInfo", 0},  // TraficRedirection
    {57, 3, "AliasName", 0},  // TraficRedirection
    {58, 6, "status", 0},  // ActiveToStandBy
    {59, 6, "Path", 0},  // ActiveToStandBy
    {60, 6, "Args", 0},  // ActiveToStandBy
    {61, 6, "DefaultArgs", 0},  // ActiveToStandBy
    {62, 7, "status", 0},  // StandByToActive
    {63, 7, "Path", 0},  // StandByToActive
    {64, 7, "Args", 0},  // StandByToActive
    {65, 7, "DefaultArgs", 0},  // StandByToActive
    {66, 8, "status", 0},  // IdentifyTraffic
    {67, 8, "Path", 0},  // IdentifyTraffic
    {68, 8, "Args", 0},  // IdentifyTraffic
    {69, 8, "DefaultArgs", 0},  // IdentifyTraffic
    {70, 1, "IsAliveTimeout", 0},  // Switchover
    {71, 1, "HeartbeatTimeout", 0},  // Switchover
    {72, 1, "SendPing", 0},  // Switchover
    {73, 1, "PingIP", 0},  // Switchover
    {74, 1, "FromMasterPingIP", 0},  // Switchover
    {75, 1, "FromReplicaPingIP", 0},  // Switchover
    {76, 1, "ConnectToDB", 0},  // Switchover
    {77, 9, "status", 0},  // OnActive
    {78, 9, "Path", 0},  // OnActive
    {79, 9, "Args", 0},  // OnActive
    {80, 9, "DefaultArgs", 0},  // OnActive
    {81, 10, "status", 0},  // OnStandBy
    {82, 10, "Path", 0},  // OnStandBy
    {83, 10, "Args", 0},  // OnStandBy
    {84, 10, "DefaultArgs", 0},  // OnStandBy
    {85, 1, "Automatic", 0},  // Switchover
    {86, 1, "MonitorServiceListEdit", 0},  // Switchover
    {87, 1, "ListMonitorServices", 0},  // Switchover
    {88, 11, "ServiceName", 0},  // MonitorService
    {89, 13, "status", 0},  // StopDB
    {90, 13, "Path", 0},  // StopDB
    {91, 13, "Args", 0},  // StopDB
    {92, 13, "DefaultArgs", 0},  // StopDB
    {93, 14, "status", 0},  // StartDB
    {94, 14, "Path", 0},  // StartDB
    {95, 14, "Args", 0},  // StartDB
    {96, 14, "DefaultArgs", 0},  // StartDB
    {97, 15, "status", 0},  // OnSuccessScript
    {98, 15, "Path", 0},  // OnSuccessScript
    {99, 15, "Args", 0},  // OnSuccessScript
    {100, 15, "DefaultArgs", 0},  // OnSuccessScript
    {101, 16, "status", 0},  // OnFailureScript
    {102, 16, "Path", 0},  // OnFailureScript
    {103, 16, "Args", 0},  // OnFailureScript
    {104, 16, "DefaultArgs", 0},  // OnFailureScript
    {105, 0, "ReplicationMode", 0},  // Scenario
    {106, 0, "SyncWithReplacement", 0},  // Scenario
    {107, 0, "Scheduling", 0},  // Scenario
    {108, 22, "status", 0},  // SchedulerReplMode
    {109, 0, "ReplicationInterval", 0},  // Scenario
    {110, 0, "RotateJournalTimeout", 0},  // Scenario
    {111, 0, "AutoSynchronization", 0},  // Scenario
    {112, 0, "SynchType", 0},  // Scenario
    {113, 0, "ExcludeSameSizeFiles", 0},  // Scenario
    {114, 0, "FullQualifiedName", 0},  // Scenario
    {115, 0, "BuildACL", 0},  // Scenario
    {116, 0, "ReplaceACL", 0},  // Scenario
    {117, 0, "SyncADS", 0},  // Scenario
    {118, 0, "BuildShares", 0},  // Scenario
    {119, 0, "KeepArchiveAttribute", 0},  // Scenario
    {120, 0, "ReplicateCompressAttr", 0},  // Scenario
    {121, 0, "MaintainWriteOrder", 0},  // Scenario
    {122, 0, "Inject", 0},  // Scenario
    {123, 0, "StopOnError", 0},  // Scenario
    {124, 0, "StopScenario", 0},  // Scenario
    {125, 0, "NumberOfSockets", 0},  // Scenario
    {126, 0, "SystemStateProtection", 0},  // Scenario
    {127, 0, "DeleteSnapshotsScenario", 0},  // Scenario
    {128, 0, "DefaultReplSpoolSpace", 0},  // Scenario
    {129, 0, "SystemStateRecovery", 0},  // Scenario
    {130, 1, "vCenterManagedIP", 0},  // Switchover
    {131, 1, "CPUInfo", 0},  // Switchover
    {132, 1, "MemoryInfo", 0},  // Switchover
    {133, 0, "RecoveryP2VSnapshot", 0},  // Scenario
    {134, 1, "VirtualMachineName", 0},  // Switchover
    {135, 0, "IsBMRRestore", 0},  // Scenario
    {136, 0, "IsP2P", 0},  // Scenario
    {137, 3, "DisableMasterNetworkAdapters", 0},  // TraficRedirection
    {138, 4, "DomainAdminName", 0},  // RedirectDNS
    {139, 4, "DomainAdminPassword", 0},  // RedirectDNS
    {140, 0, "P2VApplianceHost", 0},  // Scenario
    {141, 0, "P2VAppliancePort", 0},  // Scenario
    {142, 0, "ControlServiceHostName", 0},  // Scenario
};

const data_table_entry_s host_data_table[k_host_data_count] = {
    {0, 18, "Host", 0},  // CommonHostProps
    {1, 18, "IP", 0},  // CommonHostProps
    {2, 18, "Data_IP", 0},  // CommonHostProps
    {3, 18, "Out_IP", 0},  // CommonHostProps
    {4, 18, "Port", 0},  // CommonHostProps
    {5, 18, "Index", 0},  // CommonHostProps
    {6, 18, "Role", 0},  // CommonHostProps
    {7, 18, "Compress", 0},  // CommonHostProps
    {8, 18, "IOThrottler", 0},  // CommonHostProps
    {9, 18, "SpoolDirectory", 0},  // CommonHostProps
    {10, 18, "SpoolSpaceThreshold", 0},  // CommonHostProps
    {11, 18, "FreeSpaceThreshold", 0},  // CommonHostProps
    {12, 18, "Proxy", 0},  // CommonHostProps
    {13, 18, "Server", 0},  // CommonHostProps
    {14, 18, "ProxyPort", 0},  // CommonHostProps
    {15, 18, "Credential", 0},  // CommonHostProps
    {16, 18, "EnableProxy", 0},  // CommonHostProps
    {17, 20, "status", 0},  // SyncScriptBefore
    {18, 20, "Path", 0},  // SyncScriptBefore
    {19, 20, "Args", 0},  // SyncScriptBefore
    {20, 20, "DefaultArgs", 0},  // SyncScriptBefore
    {21, 21, "status", 0},  // SyncScriptAfter
    {22, 21, "Path", 0},  // SyncScriptAfter
    {23, 21, "Args", 0},  // SyncScriptAfter
    {24, 21, "DefaultArgs", 0},  // SyncScriptAfter
    {25, 23, "RegistryPaths", 0},  // ListRegistryPaths_32
    {26, 24, "RegistryPaths", 0},  // ListRegistryPaths_64
    {27, 18, "UserCredential", 0},  // CommonHostProps
    {28, 18, "MasterOSType", 0},  // CommonHostProps
    {29, 19, "Delay", 0},  // SpecificReplicaProps
    {30, 19, "DelayTimeOut", 0},  // SpecificReplicaProps
    {31, 19, "DataRewind", 0},  // SpecificReplicaProps
    {32, 19, "ReciveryInterval", 0},  // SpecificReplicaProps
    {33, 19, "MaxDiskSize", 0},  // SpecificReplicaProps
    {34, 19, "NumUnsuccAttempts", 0},  // SpecificReplicaProps
    {35, 19, "UnsuccAttemptsTimeout", 0},  // SpecificReplicaProps
    {36, 19, "BandWidth", 0},  // SpecificReplicaProps
    {37, 19, "RPOThreshold", 0},  // SpecificReplicaProps
    {38, 19, "KeepFilesDuringSynchron", 0},  // SpecificReplicaProps
    {39, 19, "KeepFilesDuringReplication", 0},  // SpecificReplicaProps
    {40, 19, "StopDBOnRun", 0},  // SpecificReplicaProps
    {41, 19, "FailoverHost", 0},  // SpecificReplicaProps
    {42, 19, "CDPHost", 0},  // SpecificReplicaProps
    {43, 19, "CDPReportStatus", 0},  // SpecificReplicaProps
    {44, 19, "CDPReportDetailed", 0},  // SpecificReplicaProps
    {45, 19, "CreateVSS", 0},  // SpecificReplicaProps
    {46, 19, "NumOfSnapshotSetToKeep", 0},  // SpecificReplicaProps
    {47, 19, "ShadowStorageVolume", 0},  // SpecificReplicaProps
    {48, 19, "ShadowStorageMaxSize", 0},  // SpecificReplicaProps
    {49, 19, "SecureCommLevel", 0},  // SpecificReplicaProps
    {50, 19, "VSM", 0},  // SpecificReplicaProps
    {51, 19, "Number", 0},  // SpecificReplicaProps
    {52, 19, "Storage", 0},  // SpecificReplicaProps
    {53, 19, "StorageSize", 0},  // SpecificReplicaProps
    {54, 18, "CloudProvider", 0},  // CommonHostProps
    {55, 18, "CloudAccount", 0},  // CommonHostProps
    {56, 18, "CloudInstanceID", 0},  // CommonHostProps
    {57, 18, "CloudRegion", 0},  // CommonHostProps
    {58, 18, "CloudResource", 0},  // CommonHostProps
    {59, 18, "CloudStopInstance", 0},  // CommonHostProps
    {60, 18, "CloudCleanUpResources", 0},  // CommonHostProps
    {61, 38, "status", 0},  // TriggerFile
    {62, 38, "TargetFile", 0},  // TriggerFile
    {63, 39, "status", 0},  // TrigFileScript
    {64, 39, "Path", 0},  // TrigFileScript
    {65, 39, "Args", 0},  // TrigFileScript
    {66, 39, "DefaultArgs", 0},  // TrigFileScript
    {67, 32, "status", 1},  // Report
    {68, 32, "SynchReportStatus", 1},  // Report
    {69, 32, "SynchReportDetailed", 1},  // Report
    {70, 32, "ReplReportStatus", 1},  // Report
    {71, 32, "ReplReportTimeout", 1},  // Report
    {72, 32, "ReplReportDetailed", 1},  // Report
    {73, 32, "AssuredRecoveryReportStatus", 1},  // Report
    {74, 32, "StoreReportOnThisHost", 1},  // Report
    {75, 32, "ReportRetention", 1},  // Report
    {76, 32, "OnThisHostReportDir", 1},  // Report
    {77, 32, "Delegate", 1},  // Report
    {78, 33, "status", 1},  // ReportNotifyEmail
    {79, 33, "MailServer", 1},  // ReportNotifyEmail
    {80, 33, "MailServerPort", 1},  // ReportNotifyEmail
    {81, 33, "EmailAddressTo", 1},  // ReportNotifyEmail
    {82, 33, "EmailAddressFrom", 1},  // ReportNotifyEmail
    {83, 33, "MailAdvancedSettings", 1},  // ReportNotifyEmail
    {84, 34, "status", 1},  // ReportScript
    {85, 34, "Path", 1},  // ReportScript
    {86, 34, "Args", 1},  // ReportScript
    {87, 34, "DefaultArgs", 1},  // ReportScript
    {88, 35, "status", 1},  // EventNotification
    {89, 35, "Syslog", 1},  // EventNotification
    {90, 36, "status", 1},  // NotifyByEmail
    {91, 36, "OnErrorOnly", 1},  // NotifyByEmail
    {92, 36, "MailServer", 1},  // NotifyByEmail
    {93, 36, "MailServerPort", 1},  // NotifyByEmail
    {94, 36, "EmailAddressTo", 1},  // NotifyByEmail
    {95, 36, "EmailAddressFrom", 1},  // NotifyByEmail
    {96, 36, "MailAdvancedSettings", 1},  // NotifyByEmail
    {97, 37, "status", 1},  // EventNotifScript
    {98, 37, "Path", 1},  // EventNotifScript
    {99, 37, "Args", 1},  // EventNotifScript
    {100, 37, "DefaultArgs", 1},  // EventNotifScript
    {101, 46, "status", 0},  // AssuredRecoveryObj
    {102, 47, "status", 0},  // SchedulerAR
    {103, 46, "StartDB", 0},  // AssuredRecoveryObj
    {104, 46, "AutomaticStartDB", 0},  // AssuredRecoveryObj
    {105, 48, "status", 0},  // ARStartDBScript
    {106, 48, "Path", 0},  // ARStartDBScript
    {107, 48, "Args", 0},  // ARStartDBScript
    {108, 48, "DefaultArgs", 0},  // ARStartDBScript
    {109, 46, "DbTesting", 0},  // AssuredRecoveryObj
    {110, 46, "AutomaticDbTest", 0},  // AssuredRecoveryObj
    {111, 49, "status", 0},  // ARTestDBScript
    {112, 49, "Path", 0},  // ARTestDBScript
    {113, 49, "Args", 0},  // ARTestDBScript
    {114, 49, "DefaultArgs", 0},  // ARTestDBScript
    {115, 46, "SuccessActOnline", 0},  // AssuredRecoveryObj
    {116, 50, "status", 0},  // OnlineScript
    {117, 50, "Path", 0},  // OnlineScript
    {118, 50, "Args", 0},  // OnlineScript
    {119, 50, "DefaultArgs", 0},  // OnlineScript
    {120, 46, "StopDB", 0},  // AssuredRecoveryObj
    {121, 46, "AutomaticStopDB", 0},  // AssuredRecoveryObj
    {122, 51, "status", 0},  // ARStopDBScript
    {123, 51, "Path", 0},  // ARStopDBScript
    {124, 51, "Args", 0},  // ARStopDBScript
    {125, 51, "DefaultArgs", 0},  // ARStopDBScript
    {126, 46, "SuccessActOffline", 0},  // AssuredRecoveryObj
    {127, 46, "ShadowCopy", 0},  // AssuredRecoveryObj
    {128, 46, "NumSnapsh", 0},  // AssuredRecoveryObj
    {129, 46, "Volume", 0},  // AssuredRecoveryObj
    {130, 46, "StoreSize", 0},  // AssuredRecoveryObj
    {131, 52, "status", 0},  // OfflineScript
    {132, 52, "Path", 0},  // OfflineScript
    {133, 52, "Args", 0},  // OfflineScript
    {134, 52, "DefaultArgs", 0},  // OfflineScript
    {135, 42, "status", 0},  // Suspend
    {136, 42, "OffLineShadowCopy", 0},  // Suspend
    {137, 42, "NumSnapsh", 0},  // Suspend
    {138, 42, "Volume", 0},  // Suspend
    {139, 42, "StoreSize", 0},  // Suspend
    {140, 43, "status", 0},  // SuspendScheduler
    {141, 44, "status", 0},  // SuspendScript
    {142, 44, "Path", 0},  // SuspendScript
    {143, 44, "Args", 0},  // SuspendScript
    {144, 44, "DefaultArgs", 0},  // SuspendScript
    {145, 45, "status", 0},  // SuspendOfflineScript
    {146, 45, "Path", 0},  // SuspendOfflineScript
    {147, 45, "Args", 0},  // SuspendOfflineScript
    {148, 45, "DefaultArgs", 0},  // SuspendOfflineScript
    {149, 19, "RetainSystemState", 0},  // SpecificReplicaProps
    {150, 19, "SysStateSpoolDirectory", 0},  // SpecificReplicaProps
    {151, 19, "SysStateSpoolSpaceThreshold", 0},  // SpecificReplicaProps
    {152, 19, "SysStateFreeSpaceThreshold", 0},  // SpecificReplicaProps
    {153, 19, "RetentionCount", 0},  // SpecificReplicaProps
    {154, 19, "DeleteSnapshotsReplica", 0},  // SpecificReplicaProps
    {155, 19, "MoveSnapshotsToNewDirectory", 0},  // SpecificReplicaProps
    {156, 19, "Initial", 0},  // SpecificReplicaProps
    {157, 19, "VMLocalDirectory", 0},  // SpecificReplicaProps
    {158, 19, "VirtualDiskFormat", 0},  // SpecificReplicaProps
    {159, 19, "MaxBookmarkCount", 0},  // SpecificReplicaProps
    {160, 19, "VirtualPlatformType", 0},  // SpecificReplicaProps
    {161, 19, "VirtualPlatform", 0},  // SpecificReplicaProps
    {162, 19, "VpxHostPath", 0},  // SpecificReplicaProps
    {163, 19, "VirtualPlatformPort", 0},  // SpecificReplicaProps
    {164, 19, "VMDataCenter", 0},  // SpecificReplicaProps
    {165, 19, "DC_id", 0},  // SpecificReplicaProps
    {166, 19, "VMStorage", 0},  // SpecificReplicaProps
    {167, 19, "storage_id", 0},  // SpecificReplicaProps
    {168, 19, "IsProvision", 0},  // SpecificReplicaProps
    {169, 19, "HavCluster", 0},  // SpecificReplicaProps
    {170, 19, "VMResourcePool", 0},  // SpecificReplicaProps
    {171, 19, "resource_id", 0},  // SpecificReplicaProps
    {172, 19, "CPUInfo", 0},  // SpecificReplicaProps
    {173, 19, "MemoryInfo", 0},  // SpecificReplicaProps
    {174, 19, "VirtualMachineName", 0},  // SpecificReplicaProps
    {175, 19, "EC2InstanceType", 0},  // SpecificReplicaProps
    {176, 19, "EBSVolumeType", 0},  // SpecificReplicaProps
    {177, 19, "EBSVolumeIOPSRatio", 0},  // SpecificReplicaProps
    {178, 19, "EBSVolumeEncryption", 0},  // SpecificReplicaProps
    {179, 19, "NetworkAdapterType", 0},  // SpecificReplicaProps
    {180, 19, "CloudSecurityGroup", 0},  // SpecificReplicaProps
    {181, 19, "CloudPrivateIPAddr", 0},  // SpecificReplicaProps
    {182, 19, "CloudPublicIPAddr", 0},  // SpecificReplicaProps
    {183, 19, "CloudPublicIPAddrAutoAssign", 0},  // SpecificReplicaProps
    {184, 19, "AzureVMType", 0},  // SpecificReplicaProps
    {185, 19, "AzureResourceGroup", 0},  // SpecificReplicaProps
    {186, 19, "AzureAccountType", 0},  // SpecificReplicaProps
    {187, 19, "SSLConnection", 0},  // SpecificReplicaProps
    {188, 19, "VMHostServer", 0},  // SpecificReplicaProps
    {189, 19, "host_server_id", 0},  // SpecificReplicaProps
    {190, 19, "VirtualPlatformInfo", 0},  // SpecificReplicaProps
    {191, 19, "host_system_id", 0},  // SpecificReplicaProps
    {192, 18, "CommonDBScheduledBookmarks", 0},  // CommonHostProps
    {193, 1, "VirtualNetworkMappingsEdit", 0},  // Switchover
    {194, 1, "VirtualNetworkMappingsEditSwitchover", 0},  // Switchover
};

const data_table_entry_s group_data_table[k_group_data_count] = {
    {0, 55, "GroupID", 1},  // Group
    {1, 55, "Product", 0},  // Group
    {2, 55, "GroupName", 0},  // Group
    {3, 55, "Group_VersionNumber", 0},  // Group
    {4, 55, "GroupType", 0},  // Group
    {5, 55, "Signature", 0},  // Group
    {6, 60, "status", 0},  // Failover_together
    {7, 60, "ExecScenFailoverConfig", 0},  // Failover_together
    {8, 63, "status", 1},  // GroupEventNotification
    {9, 63, "Syslog", 1},  // GroupEventNotification
    {10, 64, "status", 1},  // GroupNotifyByEmail
    {11, 64, "OnErrorOnly", 1},  // GroupNotifyByEmail
    {12, 64, "MailServer", 1},  // GroupNotifyByEmail
    {13, 64, "MailServerPort", 1},  // GroupNotifyByEmail
    {14, 64, "EmailAddressTo", 1},  // GroupNotifyByEmail
    {15, 64, "EmailAddressFrom", 1},  // GroupNotifyByEmail
    {16, 64, "MailAdvancedSettings", 1},  // GroupNotifyByEmail
    {17, 65, "status", 1},  // GroupEventNotifScript
    {18, 65, "Path", 1},  // GroupEventNotifScript
    {19, 65, "Args", 1},  // GroupEventNotifScript
    {20, 65, "DefaultArgs", 1},  // GroupEventNotifScript
    {21, 66, "status", 1},  // GroupReport
    {22, 67, "status", 1},  // GroupReportNotifyEmail
    {23, 67, "MailServer", 1},  // GroupReportNotifyEmail
    {24, 67, "MailServerPort", 1},  // GroupReportNotifyEmail
    {25, 67, "EmailAddressTo", 1},  // GroupReportNotifyEmail
    {26, 67, "EmailAddressFrom", 1},  // GroupReportNotifyEmail
    {27, 67, "MailAdvancedSettings", 1},  // GroupReportNotifyEmail
    {28, 68, "status", 1},  // GroupReportScript
    {29, 68, "Path", 1},  // GroupReportScript
    {30, 68, "Args", 1},  // GroupReportScript
    {31, 68, "DefaultArgs", 1},  // GroupReportScript
};

const data_table_entry_s scenario_info_data_table[k_scenario_info_data_count] = {
    {0, TAG_SCENARIO_INFO, "ScenarioID", 1},
    {1, TAG_SCENARIO_INFO, "DescendantID", 0},
    {2, TAG_SCENARIO_INFO, "HostList", 0},
};

#include "utl/utl.h"

#include <cstring>

uint32_t conf_tables_n::tag_of_label(const char* label) {
  if (label == nullptr) return TAG_NOT_FOUND;
  for (const object_tag_s& tag : object_tag_table) {
    if (std::strcmp(tag.label, label) == 0) return tag.index;
  }
  return TAG_NOT_FOUND;
}

namespace {

// An ASCII letter in lower case; any other byte as it is (as the comparisons below fold).
unsigned char fold(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c; }

}  // namespace

long conf_tables_n::index_of_path(const data_table_entry_s* table, size_t count, const char* path) {
  if (path == nullptr) return -1;
  // "Object.Label" compared piece by piece: no joined text is made for each entry.
  // An entry whose object's first letter differs is passed over at one comparison (the indexes of
  // the validity rules are looked up so while the library loads).
  // The entries of one object stand together: the object's part is compared once for a run of them.
  const unsigned char first = fold(static_cast<unsigned char>(path[0]));
  uint32_t compared_tag = UINT32_MAX;
  const char* field = nullptr;  // the field's part of path when the object's part matched, else null
  for (size_t i = 0; i < count; ++i) {
    if (table[i].object_tag != compared_tag) {
      compared_tag = table[i].object_tag;
      const char* object = object_tag_table[compared_tag].label;
      field = nullptr;
      if (object[0] != '\0' && fold(static_cast<unsigned char>(object[0])) != first) continue;
      const size_t length = std::strlen(object);
      if (utl_n::ascii_compare_nocase(object, path, length) == 0 && path[length] == '.') field = path + length + 1;
    }
    if (field != nullptr && utl_n::ascii_compare_nocase(table[i].label, field) == 0) return static_cast<long>(i);
  }
  return -1;
}
